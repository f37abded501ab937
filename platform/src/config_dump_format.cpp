// Writing a configuration-space dump in the layout `lspci -x` prints.
#include <cstdio>

#include "platform/config_dump.h"

namespace platform {

std::string format_dumped_function(const dumped_function& function, const std::string& description) {
  std::string text = dumped_address(function);
  if (!description.empty()) text += " " + description;
  text += "\n";
  for (std::size_t offset = 0; offset + 16 <= function.bytes.size(); offset += 16) {
    char line[80];
    int at = std::snprintf(line, sizeof line, "%02x:", static_cast<unsigned>(offset));
    for (std::size_t i = 0; i < 16; ++i) {
      at += std::snprintf(line + at, sizeof line - at, " %02x", function.bytes[offset + i]);
    }
    text.append(line, at);
    text += "\n";
  }
  return text + "\n";
}

}  // namespace platform
