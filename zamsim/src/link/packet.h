// What travels on the link: TLPs with their sequence number and LCRC, and DLLPs; the
// two CRCs and the DLLP types (PCIe Base 4.0 sec 3.5.2 and 3.6.2).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zamsim {

// DLLP types (the low three bits of the flow-control types carry the virtual channel).
inline constexpr uint8_t dllp_ack = 0x00;
inline constexpr uint8_t dllp_nak = 0x10;

struct link_packet {
  bool is_tlp = true;
  std::vector<uint8_t> bytes;  // the TLP (header and payload), or the 6 DLLP bytes
  uint16_t sequence = 0;       // TLPs: 12-bit sequence number
  uint32_t lcrc = 0;           // TLPs: the LCRC as sent, link byte 0 in bits 7..0
  uint8_t card_action = 0;     // what the card did to a packet it sends (a trace_action code), 0 nothing
};

// The 32-bit LCRC over the two sequence-number bytes and the TLP (polynomial 0x04C11DB7,
// seed 0xFFFFFFFF, each byte taken from bit 0, result complemented); link byte 0 of the
// LCRC in bits 7..0 of the result.
uint32_t tlp_lcrc(uint16_t sequence, const std::vector<uint8_t>& tlp);

// A TLP ready for the link: sequence number and a good LCRC.
link_packet make_tlp(std::vector<uint8_t> tlp, uint16_t sequence);
bool lcrc_good(const link_packet& tlp);

// The 16-bit DLLP CRC over the first four DLLP bytes (polynomial 0x100B, seed 0xFFFF, each
// byte taken least significant bit first, result complemented), laid out as DLLP bytes 4-5.
void dllp_crc(const uint8_t* first_four, uint8_t& byte4, uint8_t& byte5);
bool dllp_crc_good(const std::vector<uint8_t>& dllp);

// A 6-byte Ack or Nak DLLP carrying a 12-bit sequence number, with its CRC.
std::vector<uint8_t> ack_nak_dllp(uint8_t type, uint16_t sequence);
link_packet make_dllp(std::vector<uint8_t> dllp);

// Whether a DLLP type byte is one the standard defines (Ack, Nak, power management,
// vendor specific, flow control).
bool dllp_type_defined(uint8_t type);

// 12-bit sequence-number arithmetic.
inline uint16_t seq_add(uint16_t a, int b) { return static_cast<uint16_t>((a + b) & 0xFFF); }
inline uint16_t seq_distance(uint16_t from, uint16_t to) { return static_cast<uint16_t>((to - from) & 0xFFF); }

}  // namespace zamsim
