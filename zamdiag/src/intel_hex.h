// The Intel Hex reader of code downloads: data records of at most 16 bytes, checked.
#pragma once

#include <string_view>

#include "code_record.h"

namespace zamdiag {

inline constexpr std::size_t max_hex_record = 16;

enum class hex_fault { none, too_long, truncated, checksum, stopped };

struct hex_outcome {
  hex_fault fault = hex_fault::none;
  int record = 0;      // the number (from 1) of the record that stopped the reading, or of the last
  bool ended = false;  // the last record read is an end-of-file record (type 01)
};

// Hands the data records of the text to `sink`, in order, each as soon as it has been read
// and checked; other record types and empty records are skipped. Stops at the first bad
// record or when the sink returns false (fault `stopped`). The text is never read past its
// end.
hex_outcome read_intel_hex(std::string_view text, const code_sink& sink);

}  // namespace zamdiag
