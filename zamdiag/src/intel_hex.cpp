// Intel Hex records: ":" length, address, type, data, checksum, all as hex digit pairs.
#include "intel_hex.h"

#include <optional>
#include <vector>

namespace zamdiag {
namespace {

std::optional<uint8_t> hex_byte(std::string_view text, std::size_t at) {
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

// One record's text after its ":".
hex_fault parse_record(std::string_view text, hex_record& record) {
  uint8_t head[4];
  for (std::size_t i = 0; i < 4; ++i) {
    const auto byte = hex_byte(text, i * 2);
    if (!byte) return hex_fault::truncated;
    head[i] = *byte;
  }
  record.length = head[0];
  record.address = static_cast<uint16_t>(head[1] << 8 | head[2]);
  record.type = head[3];
  if (record.length > max_hex_record) return hex_fault::too_long;
  uint8_t sum = static_cast<uint8_t>(head[0] + head[1] + head[2] + head[3]);
  for (std::size_t i = 0; i <= record.length; ++i) {  // the data, then the checksum
    const auto byte = hex_byte(text, 8 + i * 2);
    if (!byte) return hex_fault::truncated;
    if (i < record.length) record.data.push_back(*byte);
    sum = static_cast<uint8_t>(sum + *byte);
  }
  return sum == 0 ? hex_fault::none : hex_fault::checksum;
}

}  // namespace

hex_outcome read_intel_hex(std::string_view text, const code_sink& sink) {
  hex_outcome outcome;
  std::size_t at = text.find(':');
  while (at != std::string_view::npos) {
    const std::size_t end = text.find(':', at + 1);
    const std::string_view piece = text.substr(at + 1, end == std::string_view::npos ? end : end - at - 1);
    at = end;
    if (piece.empty()) continue;  // runs of ":" hold no record
    ++outcome.record;
    hex_record record;
    outcome.fault = parse_record(piece, record);
    if (outcome.fault != hex_fault::none) return outcome;
    outcome.ended = record.type == 1;
    if (record.type != 0 || record.data.empty()) continue;
    if (!sink(code_record{record.address, record.data.data(), static_cast<uint32_t>(record.data.size())})) {
      outcome.fault = hex_fault::stopped;
      return outcome;
    }
  }
  return outcome;
}

}  // namespace zamdiag
