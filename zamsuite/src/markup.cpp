// Escaping of log texts: markup characters, control bytes and bytes that are not UTF-8.
#include "markup.h"

#include <cstdint>
#include <cstdio>

namespace zamsuite {
namespace {

// Length of the valid UTF-8 sequence at `pos` (1 to 4), or 0 when the bytes are not one.
std::size_t utf8_length(const std::string& s, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
  else return 0;
  if (pos + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  const bool not_a_char = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
  return overlong || surrogate || not_a_char ? 0 : length;
}

void append_hex(std::string& out, unsigned char c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
  out += buffer;
}

std::string escape(const std::string& raw, bool attribute) {
  std::string out;
  out.reserve(raw.size() + raw.size() / 8);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(raw[i]);
    switch (c) {
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '&': out += "&amp;"; continue;
      case '"': out += "&quot;"; continue;
      case '\'': out += "&#39;"; continue;
      case '\r': out += "&#13;"; continue;
      case '\t': out += attribute ? "&#9;" : "\t"; continue;
      case '\n': out += attribute ? "&#10;" : "\n"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      append_hex(out, c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t length = utf8_length(raw, i); length > 0) {
      out.append(raw, i, length);
      i += length - 1;
    } else {
      append_hex(out, c);
    }
  }
  return out;
}

}  // namespace

std::string escape_text(const std::string& raw) { return escape(raw, false); }

std::string escape_attribute(const std::string& raw) { return escape(raw, true); }

}  // namespace zamsuite
