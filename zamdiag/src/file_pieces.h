// Files the tool sends: opened with the tool's message, moved in pieces of one driver request.
#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>

#include "ezusb_map.h"

namespace zamdiag {

// Opens a file for reading in binary mode; says "can't open <path>" to `err` when it cannot,
// "<path> is not a regular file" for a folder, a device or a pipe, and "<path> is empty:
// nothing to send" for a file without a byte.
bool open_input(std::ostream& err, const std::string& path, std::ifstream& file);

// Reads a whole regular file of at most `limit` bytes; says why to `err` when it cannot:
// "can't open <path>", "<path> is not a regular file", or "<path> is larger than N bytes".
bool read_input(std::ostream& err, const std::string& path, std::size_t limit, std::string& content);

// Reads the next piece (at most max_transfer bytes) into the buffer; 0 at the end.
inline uint32_t read_piece(std::istream& file, uint8_t (&buffer)[max_transfer]) {
  file.read(reinterpret_cast<char*>(buffer), max_transfer);
  return static_cast<uint32_t>(file.gcount());
}

}  // namespace zamdiag
