// Text files read back the way a text-mode read gives them.
#include "platform/fs.h"
#include "text_mode.h"

namespace platform {

bool read_text_file(const std::string& path, std::string* content, std::string* reason) {
  if (!read_file(path, content, reason)) return false;
  detail::as_text_mode_read(*content);
  return true;
}

}  // namespace platform
