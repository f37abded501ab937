// Memory read with its hex dump, and memory write.
#include "memory_commands.h"

#include <algorithm>

#include "ezusb_map.h"
#include "print_format.h"

namespace zamdiag {

int read_memory(tool_context& tool, uint16_t request, uint32_t address, uint32_t count) {
  uint8_t buffer[max_transfer] = {};
  uint32_t returned = 0;
  if (!tool.card.read(request, address, buffer, std::min(count, max_transfer), returned)) {
    return status::failed;
  }
  for (uint32_t line = 0; line < returned; line += 16) {
    std::string text = format("%04X ", address + line);
    for (uint32_t i = line; i < std::min(returned, line + 16); ++i) text += format("%02X ", buffer[i]);
    tool.out << text << "\n";
  }
  return status::ok;
}

int write_memory(tool_context& tool, uint16_t request, uint32_t address,
                 const std::vector<uint8_t>& values) {
  return tool.card.write(request, address, values.data(), static_cast<uint32_t>(values.size()))
             ? status::ok
             : status::failed;
}

}  // namespace zamdiag
