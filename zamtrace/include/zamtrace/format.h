// Writing decoded records: an aligned listing for people, CSV and JSON for scripts.
#pragma once

#include <string>
#include <vector>

#include "zamtrace/record.h"

namespace zamtrace {

// The fields of a record as one line of text ("requester 00:00.0 tag 7 completer
// 03:00.0 register 0x000 length 1 be 0xF/0x0"); for an invalid record its problem and bytes.
std::string fields_text(const decoded_record& r);
// The record's marks, comma-separated ("bad-LCRC,replay"); empty when none.
std::string marks_text(uint32_t marks);
// Bytes as space-separated lower-case hexadecimal pairs.
std::string hex_bytes(const std::vector<uint8_t>& bytes);
const char* kind_name(record_kind kind);       // "TLP", "DLLP", "invalid"
const char* direction_name(link_direction d);  // "upstream", "downstream", "unknown"

// The aligned listing: a heading line, then one line per record.
std::string listing_heading();
std::string listing_line(const decoded_record& r);
std::string listing(const std::vector<decoded_record>& records);

// CSV (RFC 4180 quoting): a heading row, then one row per record.
std::string csv_heading();
std::string csv_row(const decoded_record& r);
std::string csv(const std::vector<decoded_record>& records);

// One JSON object per record; json() is the whole array.
std::string json_object(const decoded_record& r);
std::string json(const std::vector<decoded_record>& records);
std::string json_string(const std::string& text);  // quoted and escaped

}  // namespace zamtrace
