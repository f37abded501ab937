// A trace record as a person reads it: what the card's trace buffer holds, decoded.
//
// The decoder turns the trace bytes (the records as the framework reads them from the card)
// into one decoded_record per record, in trace order; records it cannot make sense of come
// out as kind::invalid with their bytes, never dropped. The listing, CSV and JSON writers
// and the HTML report's table and timeline all read this one structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zamtrace {

enum class record_kind { tlp, dllp, invalid };

// Upstream: from the DUT towards the host. Unknown: the record carries no direction (a
// trace from a card that does not annotate its records).
enum class link_direction { unknown, upstream, downstream };

// What the card did to, or saw of, the packet it recorded (bits of decoded_record::marks).
enum card_mark : uint32_t {
  mark_bad_lcrc = 1u << 0,             // TLP forwarded with a corrupted LCRC
  mark_duplicate = 1u << 1,            // TLP forwarded a second time with the same sequence number
  mark_replay = 1u << 2,               // TLP the card saw replayed
  mark_bad_dllp_crc = 1u << 3,         // DLLP the card sent with a bad CRC
  mark_dllp_reserved_bits = 1u << 4,   // DLLP the card sent with reserved bits set
  mark_substituted = 1u << 5,          // DLLP the card sent in place of an Ack
  mark_discarded = 1u << 6,            // TLP the card discarded (and answered with a Nak)
};

struct decoded_record {
  std::size_t index = 0;   // position in the trace, from 0
  std::size_t offset = 0;  // byte offset of the record's header in the trace
  record_kind kind = record_kind::invalid;
  link_direction direction = link_direction::unknown;
  std::optional<uint64_t> time_ns;  // virtual time the record crossed the card
  uint32_t marks = 0;               // card_mark bits
  std::string type;                 // "MRd32", "CfgWr0", "CplD", "Msg", "Ack", "UpdateFC-P", ...
  std::vector<uint8_t> bytes;       // the record's payload as recorded (all its bytes when invalid)
  std::string problem;              // why an invalid record could not be decoded

  // TLP fields, where the type has them.
  std::optional<uint16_t> requester;  // bus:dev.fn as (bus << 8) | (dev << 3) | fn
  std::optional<uint16_t> completer;
  std::optional<uint8_t> tag;
  std::optional<uint64_t> address;
  std::optional<uint16_t> config_register;  // configuration register number x 4 (byte offset)
  std::optional<uint16_t> length;           // payload length in doublewords (1024 for 0)
  std::optional<uint8_t> first_be;
  std::optional<uint8_t> last_be;
  std::optional<std::string> status;  // completion status: "SC", "UR", "CRS", "CA"
  std::optional<uint16_t> byte_count;
  std::optional<uint8_t> message_code;  // 0x30 ERR_COR, 0x31 ERR_NONFATAL, 0x33 ERR_FATAL, ...
  std::optional<uint8_t> message_routing;  // Msg/MsgD: Type bits 2-0 (0 to the root complex, 4 local, ...)

  // DLLP fields, where the type has them.
  std::optional<uint16_t> seq;  // Ack/Nak sequence number (12 bits)
  std::optional<uint8_t> vc;
  std::optional<uint8_t> header_credits;
  std::optional<uint16_t> data_credits;
  std::optional<bool> crc_good;  // whether the DLLP's 16-bit CRC is right
};

}  // namespace zamtrace
