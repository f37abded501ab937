// What a text-mode read makes of a file's bytes, shared by the file readers.
#pragma once

#include <string>

#include "platform/fs.h"

namespace platform::detail {

// On Windows each CR LF becomes "\n"; elsewhere the bytes stay as they are.
inline void as_text_mode_read(std::string& text) {
  if (native_line_end == "\n") return;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[kept++] = text[i];
  }
  text.resize(kept);
}

}  // namespace platform::detail
