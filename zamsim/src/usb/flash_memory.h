// The card's 8 MiB NOR FLASH: sector erase to 0xFF, programming that ANDs into the cells
// from the erased start onwards, reads anywhere inside.
#pragma once

#include <cstdint>
#include <vector>

namespace zamsim {

class flash_memory {
 public:
  flash_memory();
  // Erases every 64 KiB sector that [offset, offset + length) touches and starts
  // programming at offset. False (nothing changed) when the range leaves the FLASH.
  bool erase(uint32_t offset, uint32_t length);
  // Programs at the programming position and advances it. False when it would pass the end.
  bool program(const uint8_t* data, uint32_t length);
  // Programs at an address (the station's factory contents).
  bool program_at(uint32_t offset, const uint8_t* data, uint32_t length);
  bool read(uint32_t offset, uint8_t* out, uint32_t length) const;
  // Inverts every bit of one cell, as a fault no programming makes; false outside.
  bool flip(uint32_t offset);
  uint32_t programming_position() const { return position_; }

 private:
  std::vector<uint8_t> cells_;
  uint32_t position_ = 0;
};

}  // namespace zamsim
