// The parts of input file reading that need no system call.
#include <string>

#include "platform/fs.h"
#include "platform/input_file.h"

namespace platform {

std::string larger_than_text(std::size_t limit) {
  return "larger than " + std::to_string(limit) + " bytes";
}

bool read_input_text_file(const std::string& path, std::size_t limit, std::string* content,
                          std::string* reason) {
  if (!read_input_file(path, limit, content, reason)) return false;
  if (native_line_end == "\n") return true;
  std::string& text = *content;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[kept++] = text[i];
  }
  text.resize(kept);
  return true;
}

}  // namespace platform
