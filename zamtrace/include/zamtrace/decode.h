// Decoding the card's trace buffer: one pass over the records, in trace order.
//
// Record header (64-bit little-endian word): bits 0-7 marker 0xF1, bits 8-10 kind (0-2 TLP,
// 3 DLLP, 4-7 not valid), bits 16-31 TLP payload length in 32-bit words. The card annotates
// its records in the bits the framework does not interpret: bit 11 set says the record is
// annotated; then bit 12 is the direction (0 upstream, DUT to host; 1 downstream), bits
// 13-15 the card's action (header_action) and bits 32-63 the virtual time in ns modulo
// 2^32, which the decoder unwraps (records come in time order, less than 2^32 ns apart).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zamtrace/record.h"

namespace zamtrace {

inline constexpr uint8_t record_marker = 0xF1;

// Header bits 13-15 of an annotated record.
namespace header_action {
inline constexpr uint8_t none = 0;
inline constexpr uint8_t bad_lcrc = 1;
inline constexpr uint8_t duplicate = 2;
inline constexpr uint8_t replay = 3;
inline constexpr uint8_t bad_dllp_crc = 4;
inline constexpr uint8_t dllp_reserved_bits = 5;
inline constexpr uint8_t substituted = 6;
inline constexpr uint8_t discarded = 7;
}  // namespace header_action

// The card_mark bit of a header action code (0 for none).
uint32_t mark_of_action(uint8_t action);

// Walks a trace record by record. The bytes must outlive the walker.
class record_walker {
 public:
  record_walker(const uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  // Decodes the next record into `out` (its earlier contents are replaced; reusing one
  // record saves allocations); false at the end of the trace.
  bool next(decoded_record& out);

 private:
  const uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::size_t index_ = 0;
  bool have_time_ = false;
  uint32_t last_raw_time_ = 0;
  uint64_t time_ = 0;
};

std::vector<decoded_record> decode(const uint8_t* bytes, std::size_t size);
// How many records decode() gives for these bytes (a walk without decoding).
std::size_t record_count(const uint8_t* bytes, std::size_t size);
inline std::vector<decoded_record> decode(const std::vector<uint8_t>& bytes) {
  return decode(bytes.data(), bytes.size());
}

// Calls f(const decoded_record&) for each record without keeping them.
template <typename F>
void for_each_record(const uint8_t* bytes, std::size_t size, F&& f) {
  record_walker walker(bytes, size);
  decoded_record record;
  while (walker.next(record)) f(static_cast<const decoded_record&>(record));
}

// Decodes one TLP (header and payload as on the link) into the TLP fields of `out`.
void decode_tlp(const uint8_t* tlp, std::size_t size, decoded_record& out);
// Decodes one 6-byte DLLP into the DLLP fields of `out`.
void decode_dllp(const uint8_t* dllp, decoded_record& out);

// The DLLP CRC (16 bits, polynomial 0x100B) over the first four DLLP bytes, as DLLP bytes 4-5.
void dllp_crc(const uint8_t* first_four, uint8_t& byte4, uint8_t& byte5);

// Names: a message code ("ERR_COR", ...; "code 0xNN" when undefined), a message routing
// ("to RC", "by ID", ...), a card mark ("bad-LCRC", ...), a bus:dev.fn ID ("03:00.0").
std::string message_name(uint8_t code);
const char* routing_name(uint8_t routing);
const char* mark_name(card_mark mark);
std::string bdf_text(uint16_t id);

}  // namespace zamtrace
