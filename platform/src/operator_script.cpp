// Answer scripts shared by message-box prompts and dialogs: one position per process.
#include "operator_script.h"
#include "operator_failure.h"

#include <sstream>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/input_file.h"

namespace platform::detail {
namespace {

struct script_state {
  std::string path;
  std::vector<std::string> lines;
  std::size_t next = 0;
  bool loaded = false;
  bool readable = false;
  std::string reason;  // why it is not readable
};

// The largest answer script read (one short line per prompt).
constexpr std::size_t max_answer_script_bytes = 1024 * 1024;

std::mutex script_mutex;
script_state script;

}  // namespace

std::string trim_reply(std::string text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<std::string> next_script_answer(const std::string& path, std::string_view caption) {
  std::lock_guard lock(script_mutex);
  if (!script.loaded || script.path != path) {
    script = script_state{path, {}, 0, true, false, {}};
    // Only a regular file of a script's size: a folder or a device is no list of answers.
    std::string text;
    script.readable = read_input_text_file(path, max_answer_script_bytes, &text, &script.reason);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      line = trim_reply(line);
      if (!line.empty() && line.front() != '#') script.lines.push_back(line);
    }
  }
  if (!script.readable) {
    unanswered("operator: cannot read answer script " + path + ": " + script.reason);
    return std::nullopt;
  }
  if (script.next >= script.lines.size()) {
    unanswered("operator: answer script " + path + " has no answer left for prompt \"" +
               std::string(caption) + "\"");
    return std::nullopt;
  }
  return script.lines[script.next++];
}

void reset_script() {
  std::lock_guard lock(script_mutex);
  script = script_state{};
}

}  // namespace platform::detail
