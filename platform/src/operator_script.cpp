// Answer scripts shared by message-box prompts and dialogs: one position per process.
#include "operator_script.h"
#include "operator_failure.h"

#include <fstream>
#include <iostream>
#include <mutex>
#include <vector>

namespace platform::detail {
namespace {

struct script_state {
  std::string path;
  std::vector<std::string> lines;
  std::size_t next = 0;
  bool loaded = false;
  bool readable = false;
};

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
    script = script_state{path, {}, 0, true, false};
    std::ifstream in(path);
    script.readable = static_cast<bool>(in);
    for (std::string line; in && std::getline(in, line);) {
      line = trim_reply(line);
      if (!line.empty() && line.front() != '#') script.lines.push_back(line);
    }
  }
  if (!script.readable) {
    unanswered("operator: cannot read answer script " + path);
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
