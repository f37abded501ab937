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

guid constant(const char* text) { return *guid::parse(text); }

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
const guid config_space = constant("{83972628-020A-4B3D-A654-66B608394A70}");
const guid known_endpoint = constant("{FED8E8D4-C192-43C1-8EF0-5D5B8160156D}");
const guid zam_card = constant("{36F7A520-ED0B-4E9A-A14F-8C691F120AF1}");
const guid farrow_port = constant("{E1D91E61-750C-45FF-B0A7-28B2AC459817}");
}  // namespace driver_class

}  // namespace platform
