// One packet of the packet log as a line of text: kind, header fields and payload.
#pragma once

#include <cstdint>
#include <string>

namespace zamlib {

// The line for a packet of `length` bytes moved in `direction` ("<<" in, ">>" out). Only
// the words actually received are read.
std::string print_packet(const char* direction, const uint32_t* words, uint32_t length);

// A data dword as 8 hex digits, most significant byte first, with "xx" for each byte whose
// enable bit (bit i for bits 8i+7..8i) is clear.
std::string masked_dword(uint32_t value, uint32_t byte_enables);

}  // namespace zamlib
