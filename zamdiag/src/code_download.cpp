// Intel Hex and boot image downloads: the files read, their records written to the card.
#include "code_download.h"

#include <fstream>

#include "file_pieces.h"
#include "print_format.h"

namespace zamdiag {
namespace {

// Each record goes to the controller's memory as soon as it has been read.
code_sink card_writer(tool_context& tool) {
  return [&tool](const code_record& record) {
    return tool.card.write_code(record.address, record.data, record.length);
  };
}

// Writes the records of the text; false at the first bad record (with its message) or
// failed write.
bool write_hex_records(tool_context& tool, const std::string& text) {
  const hex_outcome outcome = read_intel_hex(text, card_writer(tool));
  switch (outcome.fault) {
    case hex_fault::none: return true;
    case hex_fault::too_long:
      tool.err << format("Error: Hex Record %d exceeds max record length\n", outcome.record);
      return false;
    case hex_fault::truncated:
      tool.err << format("Error: Hex Record %d is truncated or not hexadecimal\n", outcome.record);
      return false;
    case hex_fault::checksum:
      tool.err << format("Error: Hex Record %d has a wrong checksum\n", outcome.record);
      return false;
    case hex_fault::stopped: return false;  // the card has said why
  }
  return false;
}

}  // namespace

int download_intel_hex(tool_context& tool, const std::string& path) {
  std::ifstream file;
  if (!open_input(tool.err, path, file)) return status::failed;
  std::string text(max_hex_file, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (!tool.card.hold_reset(true)) return status::failed;
  const bool written = write_hex_records(tool, text);
  const bool released = tool.card.hold_reset(false);
  return written && released ? status::ok : status::failed;
}

int reset_with_boot_image(tool_context& tool, const std::string& path) {
  std::ifstream file;
  if (!path.empty() && !open_input(tool.err, path, file)) return status::failed;
  if (!tool.card.hold_reset(true)) return status::failed;
  bool written = true;
  if (!path.empty()) {
    const boot_fault fault = read_boot_image(file, card_writer(tool));
    if (fault == boot_fault::bad_format) tool.err << "invalid file format\n";
    written = fault == boot_fault::none;
  }
  const bool released = tool.card.hold_reset(false);
  return written && released ? status::ok : status::failed;
}

}  // namespace zamdiag
