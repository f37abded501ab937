// The number formats of DAT file attribute values.
#pragma once

#include <cstdint>

namespace vexo::dat {

// Standard text-to-integer conversion: leading blanks and a sign allowed, stops at the first
// non-digit, 0 without digits.
int32_t decimal_value(const char* text);

// Each character shifts the value left by four bits and puts in its hexadecimal digit; a
// character that is not a digit puts in the last digit seen (0 before the first), so a
// leading "0x" reads as zeros.
uint64_t hex_value(const char* text);

// Hexadecimal; a leading "-" negates the rest.
int64_t signed_hex_value(const char* text);

// What the conversions above make of a text before the value is cut to its field: the
// whole value (saturated when it overflows 64 bits), whether the text held any digit of the
// format, and whether it overflowed.
struct reading {
  int64_t value = 0;
  bool has_digit = false;
  bool overflowed = false;
};
reading read_decimal(const char* text);
reading read_hex(const char* text);         // value: the 64-bit result as a bit pattern
reading read_signed_hex(const char* text);  // "-" and hexadecimal, negated

}  // namespace vexo::dat
