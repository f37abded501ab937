// Intel Hex and boot image downloads.
#include "code_download.h"

#include <fstream>
#include <optional>
#include <vector>

#include "file_pieces.h"
#include "print_format.h"

namespace zamdiag {
namespace {

std::optional<uint8_t> hex_byte(const std::string& text, std::size_t at) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  if (at + 2 > text.size()) return std::nullopt;
  const int high = digit(text[at]), low = digit(text[at + 1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<uint8_t>(high << 4 | low);
}

struct hex_record {
  uint8_t length = 0;
  uint16_t address = 0;
  uint8_t type = 0;
  std::vector<uint8_t> data;
};

enum class record_fault { none, too_long, truncated, checksum };

// One record's text after its ":"; the text is never read past its end.
record_fault parse_record(const std::string& text, hex_record& record) {
  uint8_t head[4];
  for (std::size_t i = 0; i < 4; ++i) {
    const auto byte = hex_byte(text, i * 2);
    if (!byte) return record_fault::truncated;
    head[i] = *byte;
  }
  record.length = head[0];
  record.address = static_cast<uint16_t>(head[1] << 8 | head[2]);
  record.type = head[3];
  if (record.length > max_hex_record) return record_fault::too_long;
  uint8_t sum = static_cast<uint8_t>(head[0] + head[1] + head[2] + head[3]);
  for (std::size_t i = 0; i <= record.length; ++i) {  // the data, then the checksum
    const auto byte = hex_byte(text, 8 + i * 2);
    if (!byte) return record_fault::truncated;
    if (i < record.length) record.data.push_back(*byte);
    sum = static_cast<uint8_t>(sum + *byte);
  }
  return sum == 0 ? record_fault::none : record_fault::checksum;
}

// Writes the records of the text; false at the first bad record or failed write.
bool write_hex_records(tool_context& tool, const std::string& text) {
  int number = 0;
  std::size_t at = text.find(':');
  while (at != std::string::npos) {
    const std::size_t end = text.find(':', at + 1);
    const std::string piece = text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    at = end;
    if (piece.empty()) continue;  // runs of ":" hold no record
    ++number;
    hex_record record;
    switch (parse_record(piece, record)) {
      case record_fault::too_long:
        tool.err << format("Error: Hex Record %d exceeds max record length\n", number);
        return false;
      case record_fault::truncated:
        tool.err << format("Error: Hex Record %d is truncated or not hexadecimal\n", number);
        return false;
      case record_fault::checksum:
        tool.err << format("Error: Hex Record %d has a wrong checksum\n", number);
        return false;
      case record_fault::none:
        break;
    }
    if (record.type != 0 || record.data.empty()) continue;
    if (!tool.card.write_code(record.address, record.data.data(),
                              static_cast<uint32_t>(record.data.size()))) {
      return false;
    }
  }
  return true;
}

// Reads exactly `length` bytes; false at the end of the file or short of it.
bool read_whole(std::ifstream& file, uint8_t* bytes, std::size_t length) {
  file.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(length));
  return static_cast<std::size_t>(file.gcount()) == length;
}

// Boot image records: big-endian length and address, then the data; a length with bit 15
// set ends the image. False (with a message) on a record cut off or a failed write.
bool write_boot_records(tool_context& tool, std::ifstream& file) {
  for (;;) {
    uint8_t head[4];
    file.read(reinterpret_cast<char*>(head), sizeof head);
    if (file.gcount() == 0) return true;  // the end of the file between records
    if (file.gcount() != sizeof head) {
      tool.err << "invalid file format\n";
      return false;
    }
    const uint16_t length = static_cast<uint16_t>(head[0] << 8 | head[1]);
    const uint16_t address = static_cast<uint16_t>(head[2] << 8 | head[3]);
    if ((length & 0x8000) != 0) return true;
    std::vector<uint8_t> data(length);
    if (!read_whole(file, data.data(), length)) {
      tool.err << "invalid file format\n";
      return false;
    }
    for (std::size_t done = 0; done < data.size(); done += max_code_piece) {
      const std::size_t piece = std::min(max_code_piece, data.size() - done);
      if (!tool.card.write_code(address + static_cast<uint32_t>(done), data.data() + done,
                                static_cast<uint32_t>(piece))) {
        return false;
      }
    }
  }
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
    uint8_t header[8];
    if (!read_whole(file, header, sizeof header) || header[0] != 0xC2) {
      tool.err << "invalid file format\n";
      written = false;
    } else {
      written = write_boot_records(tool, file);
    }
  }
  const bool released = tool.card.hold_reset(false);
  return written && released ? status::ok : status::failed;
}

}  // namespace zamdiag
