// Files the tool sends: opened with the tool's message, moved in pieces of one driver request.
#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>

#include "ezusb_map.h"

namespace zamdiag {

// Opens a file for reading in binary mode; says "can't open <path>" to `err` when it cannot.
bool open_input(std::ostream& err, const std::string& path, std::ifstream& file);

// Reads the next piece (at most max_transfer bytes) into the buffer; 0 at the end.
inline uint32_t read_piece(std::istream& file, uint8_t (&buffer)[max_transfer]) {
  file.read(reinterpret_cast<char*>(buffer), max_transfer);
  return static_cast<uint32_t>(file.gcount());
}

}  // namespace zamdiag
