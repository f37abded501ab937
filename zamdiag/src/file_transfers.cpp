// EEPROM and FPGA file transfers.
#include "file_transfers.h"

#include <algorithm>
#include <fstream>

#include "ezusb_map.h"
#include "file_pieces.h"
#include "platform/output_file.h"
#include "print_format.h"

namespace zamdiag {
namespace {

}  // namespace

int download_eeprom(tool_context& tool, const std::string& path, uint32_t offset) {
  std::ifstream file;
  if (!open_input(tool.err, path, file)) return status::failed;
  uint8_t buffer[max_transfer];
  uint32_t address = offset;
  while (const uint32_t piece = read_piece(file, buffer)) {
    if (!tool.card.write(request_eeprom, address, buffer, piece)) return status::failed;
    address += piece;
  }
  return status::ok;
}

int upload_eeprom(tool_context& tool, const std::string& path, uint32_t offset, uint32_t count) {
  platform::output_file file;
  std::string reason;
  if (!file.open(path, platform::output_mode::create, platform::output_kind::binary, &reason)) {
    tool.err << format("can't open %s\n", path.c_str()) << path << ": " << reason << "\n";
    return status::failed;
  }
  uint8_t buffer[max_transfer];
  uint32_t address = offset;
  while (count > 0) {
    uint32_t returned = 0;
    if (!tool.card.read(request_eeprom, address, buffer, std::min(count, max_transfer), returned) ||
        returned == 0) {
      // Nothing came back: going on would ask for the same bytes for ever.
      tool.err << format("EEPROM upload stopped at 0x%04x: %u bytes not read\n", address, count);
      return status::failed;
    }
    returned = std::min(returned, count);
    if (!file.write(std::string_view(reinterpret_cast<const char*>(buffer), returned), &reason)) {
      tool.err << "can't write " << path << ": " << reason << "\n";
      return status::failed;
    }
    address += returned;
    count -= returned;
  }
  if (!file.close(&reason)) {
    tool.err << "can't write " << path << ": " << reason << "\n";
    return status::failed;
  }
  return status::ok;
}

int download_fpga(tool_context& tool, const std::string& path) {
  std::ifstream file;
  if (!open_input(tool.err, path, file)) return status::failed;
  uint8_t buffer[max_transfer];
  uint16_t running = 0;  // the 16-bit count whose wrap shows progress
  bool first = true;
  while (const uint32_t piece = read_piece(file, buffer)) {
    if (!tool.card.write(request_fpga, first ? 0 : 1, buffer, piece)) {
      tool.out << "\nFPGA download failed\n";
      return status::failed;
    }
    first = false;
    running = static_cast<uint16_t>(running + piece);
    if (running == 0) tool.out << "." << std::flush;
  }
  tool.out << "done\n";
  return status::ok;
}

}  // namespace zamdiag
