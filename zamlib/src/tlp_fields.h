// Field accessors of the TLP header words that the packet log decodes (PCIe Base 4.0 sec 2.2).
#pragma once

#include <cstdint>

namespace zamlib::tlp {

inline uint32_t fmt_type(uint32_t w0) { return (w0 >> 24) & 0x7F; }
inline uint32_t type(uint32_t w0) { return (w0 >> 24) & 0x1F; }
inline uint32_t fmt(uint32_t w0) { return (w0 >> 29) & 0x3; }
inline bool has_data(uint32_t w0) { return (w0 & 0x40000000u) != 0; }
inline bool four_dword_header(uint32_t w0) { return (w0 & 0x20000000u) != 0; }
inline uint32_t length_field(uint32_t w0) { return w0 & 0x3FF; }
inline uint32_t traffic_class(uint32_t w0) { return (w0 >> 20) & 0x7; }
inline uint32_t digest(uint32_t w0) { return (w0 >> 15) & 0x1; }
inline uint32_t poisoned(uint32_t w0) { return (w0 >> 14) & 0x1; }
inline uint32_t attributes(uint32_t w0) { return (w0 >> 12) & 0x3; }

// Requests: word 1.
inline uint32_t requester_id(uint32_t w1) { return w1 >> 16; }
inline uint32_t request_tag(uint32_t w1) { return (w1 >> 8) & 0xFF; }
inline uint32_t last_be(uint32_t w1) { return (w1 >> 4) & 0xF; }
inline uint32_t first_be(uint32_t w1) { return w1 & 0xF; }
inline uint32_t message_code(uint32_t w1) { return w1 & 0xFF; }

// Configuration requests: word 2.
inline uint32_t target_id(uint32_t w2) { return w2 >> 16; }
inline uint32_t register_offset(uint32_t w2) { return w2 & 0xFFC; }

// Completions: words 1 and 2.
inline uint32_t completer_id(uint32_t w1) { return w1 >> 16; }
inline uint32_t completion_status(uint32_t w1) { return (w1 >> 13) & 0x7; }
inline uint32_t byte_count_modified(uint32_t w1) { return (w1 >> 12) & 0x1; }
inline uint32_t byte_count(uint32_t w1) { return w1 & 0xFFF; }
inline uint32_t completion_requester_id(uint32_t w2) { return w2 >> 16; }
inline uint32_t completion_tag(uint32_t w2) { return (w2 >> 8) & 0xFF; }
inline uint32_t lower_address(uint32_t w2) { return w2 & 0x7F; }

inline constexpr uint32_t type_cfg0 = 0x04;
inline constexpr uint32_t type_cfg1 = 0x05;
inline constexpr uint32_t type_completion = 0x0A;
inline constexpr uint32_t status_ur = 1;
inline constexpr uint32_t status_crs = 2;
inline constexpr uint32_t status_ca = 4;

}  // namespace zamlib::tlp
