// Reading one function's configuration bytes through the framework for a dump.
#include "dump_writer.h"

#include <cstdio>
#include <vector>

#include "platform/config_dump.h"

namespace vexoscan {
namespace {

bool read_bytes(VEXO_DEVICE_HANDLE_t dev, unsigned offset, unsigned length, uint8_t* into) {
  unsigned moved = length;
  return ReadConfigSpace(dev, into, offset, &moved) == VEXO_STATUS_SUCCESS && moved == length;
}

// All 4096 bytes in one read when they can be read; else the lines from offset 0 up to the
// first that cannot (256 bytes of a conventional function, 64 on sysfs without root).
std::vector<uint8_t> readable_bytes(VEXO_DEVICE_HANDLE_t dev) {
  std::vector<uint8_t> bytes(4096);
  if (read_bytes(dev, 0, 4096, bytes.data())) return bytes;
  unsigned size = 0;
  while (size < 4096 && read_bytes(dev, size, 16, bytes.data() + size)) size += 16;
  bytes.resize(size);
  return bytes;
}

}  // namespace

std::string dump_function(VEXO_DEVICE_HANDLE_t dev) {
  platform::dumped_function function;
  unsigned char bus = 0, device = 0, number = 0;
  VEXO_GetDeviceProperties(dev, &bus, &device, &number, nullptr, nullptr);
  function.bus = bus;
  function.device = device;
  function.function = number;
  function.bytes = readable_bytes(dev);
  if (function.bytes.empty()) return {};
  const auto at = [&](std::size_t offset) -> unsigned {
    return offset < function.bytes.size() ? function.bytes[offset] : 0xFFu;
  };
  char description[48];
  std::snprintf(description, sizeof description, "%02x%02x: %02x%02x:%02x%02x", at(0x0B), at(0x0A), at(1),
                at(0), at(3), at(2));
  std::string text = description;
  if (at(0x08) != 0) {
    std::snprintf(description, sizeof description, " (rev %02x)", at(0x08));
    text += description;
  }
  return platform::format_dumped_function(function, text);
}

}  // namespace vexoscan
