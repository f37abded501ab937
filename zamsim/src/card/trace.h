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

#include "station/config_access.h"

namespace zamsim {

inline constexpr uint8_t trace_marker = 0xF1;
inline constexpr uint8_t trace_kind_tlp = 0;
inline constexpr uint8_t trace_kind_dllp = 3;

// DLLP types.
inline constexpr uint8_t dllp_ack = 0x00;
inline constexpr uint8_t dllp_nak = 0x10;

// A configuration request as TLP bytes (3 dwords for reads, 4 for writes), most
// significant byte of each header dword first; write data in configuration byte order.
std::vector<uint8_t> config_request_tlp(bool write, bool type1, bdf target, uint16_t offset,
                                        uint8_t byte_enables, uint32_t data, uint16_t requester,
                                        uint8_t tag);

// The completion of a configuration request: Cpl (3 dwords) or, with data, CplD (4 dwords).
// Status: 0 successful, 1 unsupported request, 2 configuration retry, 4 completer abort.
std::vector<uint8_t> config_completion_tlp(bdf completer, uint8_t status, bool with_data,
                                           uint32_t data, uint16_t requester, uint8_t tag);

// The 16-bit DLLP CRC over the first four DLLP bytes (polynomial 0x100B, seed 0xFFFF, each
// byte taken least significant bit first, result complemented), laid out as DLLP bytes 4-5.
void dllp_crc(const uint8_t* first_four, uint8_t& byte4, uint8_t& byte5);

// A 6-byte Ack or Nak DLLP carrying a 12-bit sequence number, with its CRC.
std::vector<uint8_t> ack_nak_dllp(uint8_t type, uint16_t sequence);

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
