// The parts of input file reading that need no system call.
#include <string>

#include "platform/fs.h"
#include "text_mode.h"
#include "platform/input_file.h"

namespace platform {

std::string larger_than_text(std::size_t limit) {
  return "larger than " + std::to_string(limit) + " bytes";
}

bool read_input_text_file(const std::string& path, std::size_t limit, std::string* content,
                          std::string* reason) {
  if (!read_input_file(path, limit, content, reason)) return false;
  detail::as_text_mode_read(*content);
  return true;
}

}  // namespace platform
