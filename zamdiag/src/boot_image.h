// The boot image reader of code downloads: the EEPROM image's header and its records.
#pragma once

#include <istream>

#include "code_record.h"

namespace zamdiag {

// The driver's record write carries an 8-bit length: longer boot records go in pieces.
inline constexpr std::size_t max_code_piece = 255;

enum class boot_fault { none, bad_format, stopped };

// Reads an 8-byte header that starts with 0xC2, then records of big-endian length and
// address followed by the data, until a length with bit 15 set or the end of the stream
// between records. Hands each record's data to `sink` in pieces of at most max_code_piece
// bytes, a record only once it has been read whole. bad_format: a header or record cut
// off, or a header that is not 0xC2; stopped: the sink returned false.
boot_fault read_boot_image(std::istream& in, const code_sink& sink);

}  // namespace zamdiag
