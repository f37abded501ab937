// Files moved to and from the card in 1024-byte pieces: EEPROM download and upload, FPGA
// image download.
#pragma once

#include <cstdint>
#include <string>

#include "tool_context.h"

namespace zamdiag {

// -L <file> [offset]: the file into the EEPROM from the offset on.
int download_eeprom(tool_context& tool, const std::string& path, uint32_t offset);

// -l <file> [offset] [count]: count EEPROM bytes from the offset into a new file. Stops at
// the first read that fails or returns nothing.
int upload_eeprom(tool_context& tool, const std::string& path, uint32_t offset, uint32_t count);

// -A <file>: the image straight into the FPGA.
int download_fpga(tool_context& tool, const std::string& path);

}  // namespace zamdiag
