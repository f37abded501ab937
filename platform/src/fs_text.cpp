// Text files read back the way a text-mode read gives them.
#include "platform/fs.h"

namespace platform {

bool read_text_file(const std::string& path, std::string* content, std::string* reason) {
  if (!read_file(path, content, reason)) return false;
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
