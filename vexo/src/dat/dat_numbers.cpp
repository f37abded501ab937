// The number formats of DAT file attribute values.
#include "dat/dat_numbers.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace vexo::dat {
namespace {

// The digit value of a hexadecimal character, or -1.
int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int32_t decimal_value(const char* text) {
  // As atoi: the long result, cut to 32 bits.
  return static_cast<int32_t>(std::strtoll(text, nullptr, 10));
}

uint64_t hex_value(const char* text) {
  uint64_t value = 0;
  int last_digit = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    const int digit = hex_digit(*c);
    if (digit >= 0) last_digit = digit;
    value = (value << 4) | static_cast<uint64_t>(last_digit);
  }
  return value;
}

int64_t signed_hex_value(const char* text) {
  if (text[0] == '-') return -static_cast<int64_t>(hex_value(text + 1));
  return static_cast<int64_t>(hex_value(text));
}

reading read_decimal(const char* text) {
  reading r;
  char* end = nullptr;
  errno = 0;
  r.value = std::strtoll(text, &end, 10);
  r.has_digit = end != text;
  r.overflowed = errno == ERANGE;
  return r;
}

reading read_hex(const char* text) {
  reading r;
  uint64_t value = 0;
  int last_digit = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    const int digit = hex_digit(*c);
    if (digit >= 0) {
      last_digit = digit;
      r.has_digit = true;
    }
    // A digit in the top four bits is pushed out by this shift.
    if ((value >> 60) != 0) r.overflowed = true;
    value = (value << 4) | static_cast<uint64_t>(last_digit);
  }
  r.value = static_cast<int64_t>(value);
  return r;
}

reading read_signed_hex(const char* text) {
  const bool negative = text[0] == '-';
  reading r = read_hex(negative ? text + 1 : text);
  if (static_cast<uint64_t>(r.value) > static_cast<uint64_t>(INT64_MAX)) r.overflowed = true;
  if (negative) r.value = static_cast<int64_t>(0 - static_cast<uint64_t>(r.value));
  return r;
}

}  // namespace vexo::dat
