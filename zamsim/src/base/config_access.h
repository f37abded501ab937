// What the lab's firmware and drivers talk to: configuration requests to a hierarchy.
#pragma once

#include <cstdint>
#include <string>

namespace zamsim {

struct bdf {
  uint8_t bus = 0;
  uint8_t device = 0;
  uint8_t function = 0;
  friend bool operator==(const bdf&, const bdf&) = default;
  std::string to_string() const;  // "BB:DD.F" in hex
};

// Completion of one configuration request.
enum class completion { success, unsupported, retry, abort, none };

class config_access {
 public:
  virtual ~config_access() = default;
  // One configuration read of the dword at `offset` (a multiple of 4); `value` holds
  // configuration byte 0 in bits 7..0.
  virtual completion read_dword(bdf target, uint16_t offset, uint32_t& value) = 0;
  // One configuration write with first byte enables (bit n enables byte n).
  virtual completion write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) = 0;
};

// Byte-level reads and writes split into dword requests. A read of a function that does
// not answer yields all ones, as a master abort does; the result says whether every
// request completed successfully.
bool read_config(config_access& access, bdf target, uint32_t offset, uint32_t length, uint8_t* out);
bool write_config(config_access& access, bdf target, uint32_t offset, uint32_t length, const uint8_t* in);

uint32_t read32(config_access& access, bdf target, uint16_t offset);
uint16_t read16(config_access& access, bdf target, uint16_t offset);
uint8_t read8(config_access& access, bdf target, uint16_t offset);
void write32(config_access& access, bdf target, uint16_t offset, uint32_t value);
void write16(config_access& access, bdf target, uint16_t offset, uint16_t value);
void write8(config_access& access, bdf target, uint16_t offset, uint8_t value);

}  // namespace zamsim
