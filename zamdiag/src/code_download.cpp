// Intel Hex and boot image downloads: the files read, their records written to the card.
#include "code_download.h"

#include <sstream>

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
  std::string text;
  if (!read_input(tool.err, path, max_hex_file, text)) return status::failed;
  // A clean text is looked at whole first: one that holds nothing to run, or was cut
  // between records, never reaches the card. A bad record is reported as the records are
  // written, after those before it.
  const hex_outcome look = read_intel_hex(text, [](const code_record&) { return true; });
  if (look.fault == hex_fault::none && look.record == 0) {
    tool.err << format("Error: %s holds no Intel Hex record\n", path.c_str());
    return status::failed;
  }
  if (look.fault == hex_fault::none && !look.ended) {
    tool.err << format("Error: %s does not end with an end record (:00000001FF); the file is not whole\n",
                       path.c_str());
    return status::failed;
  }
  if (!tool.card.hold_reset(true)) return status::failed;
  const bool written = write_hex_records(tool, text);
  const bool released = tool.card.hold_reset(false);
  return written && released ? status::ok : status::failed;
}

int reset_with_boot_image(tool_context& tool, const std::string& path) {
  std::string image;
  if (!path.empty()) {
    if (!read_input(tool.err, path, max_boot_image, image)) return status::failed;
    int records = 0;
    std::istringstream look(image);
    const boot_fault fault = read_boot_image(look, [&records](const code_record&) {
      ++records;
      return true;
    });
    if (fault == boot_fault::none && records == 0) {
      tool.err << format("Error: %s holds no boot record\n", path.c_str());
      return status::failed;
    }
  }
  if (!tool.card.hold_reset(true)) return status::failed;
  bool written = true;
  if (!path.empty()) {
    std::istringstream file(image);
    const boot_fault fault = read_boot_image(file, card_writer(tool));
    if (fault == boot_fault::bad_format) tool.err << "invalid file format\n";
    written = fault == boot_fault::none;
  }
  const bool released = tool.card.hold_reset(false);
  return written && released ? status::ok : status::failed;
}

}  // namespace zamdiag
