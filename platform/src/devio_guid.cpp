// Interface class GUIDs: text form and the suite's four driver families.
#include <cctype>
#include <cstdio>

#include "platform/devio.h"

namespace platform {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<guid> guid::parse(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-') {
    return std::nullopt;
  }
  uint8_t bytes[16];
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '-') continue;
    const int high = hex_value(text[i]);
    const int low = i + 1 < text.size() ? hex_value(text[i + 1]) : -1;
    if (high < 0 || low < 0 || count == 16) return std::nullopt;
    bytes[count++] = static_cast<uint8_t>(high << 4 | low);
    ++i;
  }
  if (count != 16) return std::nullopt;
  guid g;
  g.data1 = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
  g.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  g.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  return g;
}

std::string guid::to_string() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                data4[6], data4[7]);
  return text;
}

namespace driver_class {
// Constant-initialised, so libraries that search drivers from their load hooks see the
// values before any dynamic initialiser of this module has run.
const guid config_space{0x83972628, 0x020A, 0x4B3D, {0xA6, 0x54, 0x66, 0xB6, 0x08, 0x39, 0x4A, 0x70}};
const guid known_endpoint{0xFED8E8D4, 0xC192, 0x43C1, {0x8E, 0xF0, 0x5D, 0x5B, 0x81, 0x60, 0x15, 0x6D}};
const guid zam_card{0x36F7A520, 0xED0B, 0x4E9A, {0xA1, 0x4F, 0x8C, 0x69, 0x1F, 0x12, 0x0A, 0xF1}};
const guid farrow_port{0xE1D91E61, 0x750C, 0x45FF, {0xB0, 0xA7, 0x28, 0xB2, 0xAC, 0x45, 0x98, 0x17}};
}  // namespace driver_class

}  // namespace platform
