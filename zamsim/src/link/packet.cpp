// Link packets: LCRC, DLLP CRC, Ack/Nak DLLPs and DLLP type decoding.
#include "link/packet.h"

namespace zamsim {
namespace {

uint8_t reverse_bits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

}  // namespace

uint32_t tlp_lcrc(uint16_t sequence, const std::vector<uint8_t>& tlp) {
  // The register shifts most significant bit first with each byte fed from bit 0, and the
  // result goes out most significant bit first with each byte's bits reversed; that is
  // the reflected form below, whose result is already in link byte order.
  uint32_t crc = 0xFFFFFFFFu;
  const auto feed = [&crc](uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  };
  feed(static_cast<uint8_t>((sequence >> 8) & 0x0F));  // four reserved bits, then bits 11..8
  feed(static_cast<uint8_t>(sequence));
  for (uint8_t byte : tlp) feed(byte);
  return ~crc;
}

link_packet make_tlp(std::vector<uint8_t> tlp, uint16_t sequence) {
  link_packet p;
  p.is_tlp = true;
  p.sequence = static_cast<uint16_t>(sequence & 0xFFF);
  p.lcrc = tlp_lcrc(p.sequence, tlp);
  p.bytes = std::move(tlp);
  return p;
}

bool lcrc_good(const link_packet& tlp) { return tlp.lcrc == tlp_lcrc(tlp.sequence, tlp.bytes); }

void dllp_crc(const uint8_t* first_four, uint8_t& byte4, uint8_t& byte5) {
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < 4; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      const int in = (first_four[i] >> bit) & 1;
      const int top = (crc >> 15) & 1;
      crc = static_cast<uint16_t>(crc << 1);
      if (in ^ top) crc ^= 0x100B;
    }
  }
  crc = static_cast<uint16_t>(~crc);
  // The CRC goes out most significant bit first, so each byte carries its bits reversed.
  byte4 = reverse_bits(static_cast<uint8_t>(crc >> 8));
  byte5 = reverse_bits(static_cast<uint8_t>(crc));
}

bool dllp_crc_good(const std::vector<uint8_t>& dllp) {
  if (dllp.size() < 6) return false;
  uint8_t b4, b5;
  dllp_crc(dllp.data(), b4, b5);
  return b4 == dllp[4] && b5 == dllp[5];
}

std::vector<uint8_t> ack_nak_dllp(uint8_t type, uint16_t sequence) {
  std::vector<uint8_t> dllp{type, 0, static_cast<uint8_t>((sequence >> 8) & 0x0F), static_cast<uint8_t>(sequence), 0, 0};
  dllp_crc(dllp.data(), dllp[4], dllp[5]);
  return dllp;
}

link_packet make_dllp(std::vector<uint8_t> dllp) {
  link_packet p;
  p.is_tlp = false;
  p.bytes = std::move(dllp);
  return p;
}

bool dllp_type_defined(uint8_t type) {
  switch (type) {
    case 0x00: case 0x10:                          // Ack, Nak
    case 0x20: case 0x21: case 0x23: case 0x24:    // power management
    case 0x30:                                     // vendor specific
      return true;
    default: break;
  }
  const uint8_t flow_control = type & 0xF8;  // low three bits: the virtual channel
  switch (flow_control) {
    case 0x40: case 0x50: case 0x60:  // InitFC1
    case 0x80: case 0x90: case 0xA0:  // UpdateFC
    case 0xC0: case 0xD0: case 0xE0:  // InitFC2
      return true;
    default: return false;
  }
}

}  // namespace zamsim
