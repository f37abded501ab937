// The card's trace buffer: TLP and DLLP records in the format the framework reads.
//
// Each record is an 8-byte little-endian header (marker 0xF1 in bits 0-7, kind in bits
// 8-10: 0 TLP, 3 DLLP; payload length in 32-bit words in bits 16-31) followed by its
// payload: the TLP bytes as on the link, or 8 bytes around a 6-byte DLLP.
//
// The card annotates each record in the header bits the framework does not interpret:
//   bit 11      1: the record is annotated (bits 12-15 and 32-63 below hold something)
//   bit 12      direction: 0 upstream (DUT to host), 1 downstream (card to DUT)
//   bits 13-15  what the card did to, or saw of, the packet (trace_action)
//   bits 32-63  virtual time in ns, modulo 2^32, at which the packet finished crossing the card
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/packet.h"
#include "link/tlp.h"

namespace zamsim {

inline constexpr uint8_t trace_marker = 0xF1;
inline constexpr uint8_t trace_kind_tlp = 0;
inline constexpr uint8_t trace_kind_dllp = 3;

// Header bits 13-15 of an annotated record.
namespace trace_action {
inline constexpr uint8_t none = 0;
inline constexpr uint8_t bad_lcrc = 1;             // TLP forwarded with a corrupted LCRC
inline constexpr uint8_t duplicate = 2;            // TLP forwarded again with the same sequence number
inline constexpr uint8_t replay = 3;               // TLP whose sequence number the card saw before: a replay
inline constexpr uint8_t bad_dllp_crc = 4;         // DLLP the card sent with a bad CRC
inline constexpr uint8_t dllp_reserved_bits = 5;   // DLLP the card sent with reserved bits set
inline constexpr uint8_t substituted = 6;          // DLLP the card sent in place of an Ack
inline constexpr uint8_t discarded = 7;            // TLP the card discarded and answered with a Nak
}  // namespace trace_action

// What the card writes into a record's annotation bits. Unannotated records keep them 0.
struct trace_note {
  bool annotated = false;
  bool downstream = false;
  uint8_t action = trace_action::none;
  uint64_t time_ns = 0;
};

class trace_buffer {
 public:
  explicit trace_buffer(std::size_t capacity = 64u << 20) : capacity_(capacity) {}

  void add_tlp(const std::vector<uint8_t>& tlp, const trace_note& note = {});
  void add_dllp(const std::vector<uint8_t>& dllp, const trace_note& note = {});
  // Sets the action bits of the last record (when one was added since the last clear).
  void set_last_action(uint8_t action);
  void clear();
  std::size_t size() const;
  // Copies up to `length` bytes from the start; returns how many were copied.
  std::size_t read(uint8_t* out, std::size_t length) const;
  std::vector<uint8_t> bytes() const;
  // Records dropped because the buffer was full.
  std::size_t dropped() const;
  // One line per record, for people debugging a run.
  std::string describe(std::size_t max_records) const;

 private:
  void add_record(uint8_t kind, uint16_t words, const uint8_t* payload, std::size_t length, const trace_note& note);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::vector<uint8_t> data_;
  std::size_t dropped_ = 0;
  std::size_t last_record_ = SIZE_MAX;  // offset of the last record added, SIZE_MAX when none
};

}  // namespace zamsim
