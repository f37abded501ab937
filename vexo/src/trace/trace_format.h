// The card's trace record format: header fields, record kinds and sizes, TLP and DLLP bytes.
#pragma once

#include <cstdint>

namespace vexo::trace {

// Record header: one little-endian 64-bit word.
inline constexpr uint32_t header_size = 8;
inline constexpr uint8_t   record_marker = 0xF1;     // byte 0
inline constexpr uint32_t  kind_byte = 1;            // bits 8-10
inline constexpr uint8_t   kind_mask = 0x07;
inline constexpr uint8_t    kind_last_tlp = 2;       // kinds 0-2: TLP record
inline constexpr uint8_t    kind_dllp = 3;           // kinds 4-7: header only
inline constexpr uint32_t  tlp_length_byte = 2;      // bits 16-31: TLP length in dwords

// DLLP record payload: 8 bytes, the DLLP (type byte first, CRC last) at bytes 1-6.
inline constexpr uint32_t dllp_payload_size = 8;
inline constexpr uint32_t dllp_offset = 1;
inline constexpr uint32_t dllp_size = 6;

// TLP header fields (PCIe Base 4.0 sec 2.2.1): byte 0 Fmt[6:5] Type[4:0], Length[9:0] in
// bits 1-0 of byte 2 and byte 3.
inline constexpr uint32_t tlp_header_word_size = 4;
inline constexpr uint32_t tlp_header_copy_size = 16;  // what a lookup by index delivers

inline uint32_t tlp_fmt(const uint8_t* header) { return (header[0] >> 5) & 0x3; }
inline uint32_t tlp_type(const uint8_t* header) { return header[0] & 0x1F; }
inline uint32_t tlp_length(const uint8_t* header) {
  return ((header[2] & 0x3u) << 8) | header[3];
}

}  // namespace vexo::trace
