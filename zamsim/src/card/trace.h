// The card's trace buffer: TLP and DLLP records in the format the framework reads.
//
// Each record is an 8-byte little-endian header (marker 0xF1 in bits 0-7, kind in bits
// 8-10: 0 TLP, 3 DLLP; payload length in 32-bit words in bits 16-31) followed by its
// payload: the TLP bytes as on the link, or 8 bytes around a 6-byte DLLP.
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

class trace_buffer {
 public:
  explicit trace_buffer(std::size_t capacity = 64u << 20) : capacity_(capacity) {}

  void add_tlp(const std::vector<uint8_t>& tlp);
  void add_dllp(const std::vector<uint8_t>& dllp);
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
  void add_record(uint8_t kind, uint16_t words, const uint8_t* payload, std::size_t length);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::vector<uint8_t> data_;
  std::size_t dropped_ = 0;
};

}  // namespace zamsim
