// Byte-level configuration access over dword requests.
#include "base/config_access.h"

#include <cstdio>

namespace zamsim {

std::string bdf::to_string() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02x:%02x.%x", bus, device, function);
  return text;
}

bool read_config(config_access& access, bdf target, uint32_t offset, uint32_t length, uint8_t* out) {
  bool all_ok = true;
  uint32_t done = 0;
  while (done < length) {
    const uint32_t at = offset + done;
    const uint16_t aligned = static_cast<uint16_t>(at & ~3u);
    uint32_t value = 0xFFFFFFFFu;
    if (access.read_dword(target, aligned, value) != completion::success) {
      value = 0xFFFFFFFFu;
      all_ok = false;
    }
    for (uint32_t byte = at & 3u; byte < 4 && done < length; ++byte, ++done) {
      out[done] = static_cast<uint8_t>(value >> (8 * byte));
    }
  }
  return all_ok;
}

bool write_config(config_access& access, bdf target, uint32_t offset, uint32_t length, const uint8_t* in) {
  bool all_ok = true;
  uint32_t done = 0;
  while (done < length) {
    const uint32_t at = offset + done;
    const uint16_t aligned = static_cast<uint16_t>(at & ~3u);
    uint32_t value = 0;
    uint8_t enables = 0;
    for (uint32_t byte = at & 3u; byte < 4 && done < length; ++byte, ++done) {
      value |= uint32_t{in[done]} << (8 * byte);
      enables = static_cast<uint8_t>(enables | (1u << byte));
    }
    if (access.write_dword(target, aligned, enables, value) != completion::success) all_ok = false;
  }
  return all_ok;
}

uint32_t read32(config_access& access, bdf target, uint16_t offset) {
  uint8_t bytes[4];
  read_config(access, target, offset, 4, bytes);
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

uint16_t read16(config_access& access, bdf target, uint16_t offset) {
  uint8_t bytes[2];
  read_config(access, target, offset, 2, bytes);
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint8_t read8(config_access& access, bdf target, uint16_t offset) {
  uint8_t byte;
  read_config(access, target, offset, 1, &byte);
  return byte;
}

void write32(config_access& access, bdf target, uint16_t offset, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  write_config(access, target, offset, 4, bytes);
}

void write16(config_access& access, bdf target, uint16_t offset, uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  write_config(access, target, offset, 2, bytes);
}

void write8(config_access& access, bdf target, uint16_t offset, uint8_t value) {
  write_config(access, target, offset, 1, &value);
}

}  // namespace zamsim
