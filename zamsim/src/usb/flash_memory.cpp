// NOR FLASH: erase by sector, program by AND, read.
#include "usb/flash_memory.h"

#include <algorithm>
#include <cstring>

#include "usb/ezusb_requests.h"

namespace zamsim {

flash_memory::flash_memory() : cells_(ezusb::flash_size, 0xFF) {}

bool flash_memory::erase(uint32_t offset, uint32_t length) {
  if (offset >= cells_.size() || length > cells_.size() - offset) return false;
  const uint32_t first = offset / ezusb::flash_sector_size * ezusb::flash_sector_size;
  const uint64_t end = uint64_t{offset} + (length == 0 ? 1 : length);
  const uint64_t last = (end + ezusb::flash_sector_size - 1) / ezusb::flash_sector_size * ezusb::flash_sector_size;
  std::fill(cells_.begin() + first, cells_.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(last, cells_.size())),
            0xFF);
  position_ = offset;
  return true;
}

bool flash_memory::program(const uint8_t* data, uint32_t length) {
  if (!program_at(position_, data, length)) return false;
  position_ += length;
  return true;
}

bool flash_memory::program_at(uint32_t offset, const uint8_t* data, uint32_t length) {
  if (offset > cells_.size() || length > cells_.size() - offset) return false;
  for (uint32_t i = 0; i < length; ++i) cells_[offset + i] &= data[i];  // NOR: bits only go to 0
  return true;
}

bool flash_memory::flip(uint32_t offset) {
  if (offset >= cells_.size()) return false;
  cells_[offset] = static_cast<uint8_t>(~cells_[offset]);
  return true;
}

bool flash_memory::read(uint32_t offset, uint8_t* out, uint32_t length) const {
  if (offset > cells_.size() || length > cells_.size() - offset) return false;
  std::memcpy(out, cells_.data() + offset, length);
  return true;
}

}  // namespace zamsim
