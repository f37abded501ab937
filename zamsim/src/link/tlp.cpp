// Transaction layer packets: building and reading configuration requests, completions and
// error messages.
#include "link/tlp.h"

namespace zamsim {
namespace {

void put_be16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void put_config_bytes(std::vector<uint8_t>& out, uint32_t data) {
  for (int byte = 0; byte < 4; ++byte) out.push_back(static_cast<uint8_t>(data >> (8 * byte)));
}

}  // namespace

std::vector<uint8_t> config_request_tlp(bool write, bool type1, bdf target, uint16_t offset,
                                        uint8_t byte_enables, uint32_t data, uint16_t requester,
                                        uint8_t tag) {
  std::vector<uint8_t> tlp;
  tlp.reserve(16);
  // Fmt/Type: CfgRd0 0x04, CfgRd1 0x05, CfgWr0 0x44, CfgWr1 0x45; TC 0; length 1.
  tlp.push_back(static_cast<uint8_t>((write ? 0x44 : 0x04) | (type1 ? 1 : 0)));
  tlp.push_back(0);
  tlp.push_back(0);
  tlp.push_back(1);
  put_be16(tlp, requester);
  tlp.push_back(tag);
  tlp.push_back(static_cast<uint8_t>(byte_enables & 0x0F));  // last byte enables 0
  tlp.push_back(target.bus);
  tlp.push_back(static_cast<uint8_t>(target.device << 3 | target.function));
  tlp.push_back(static_cast<uint8_t>((offset >> 8) & 0x0F));
  tlp.push_back(static_cast<uint8_t>(offset & 0xFC));
  if (write) put_config_bytes(tlp, data);
  return tlp;
}

std::vector<uint8_t> config_completion_tlp(bdf completer, uint8_t status, bool with_data,
                                           uint32_t data, uint16_t requester, uint8_t tag) {
  std::vector<uint8_t> tlp;
  tlp.reserve(16);
  tlp.push_back(with_data ? 0x4A : 0x0A);
  tlp.push_back(0);
  tlp.push_back(0);
  tlp.push_back(with_data ? 1 : 0);
  put_be16(tlp, static_cast<uint16_t>(completer.bus << 8 | completer.device << 3 | completer.function));
  tlp.push_back(static_cast<uint8_t>((status & 7) << 5));  // BCM 0, byte count 4
  tlp.push_back(4);
  put_be16(tlp, requester);
  tlp.push_back(tag);
  tlp.push_back(0);  // lower address
  if (with_data) put_config_bytes(tlp, data);
  return tlp;
}

std::vector<uint8_t> message_tlp(uint16_t requester, uint8_t code) {
  // Fmt 001 (4 dwords, no data), Type 10000 (routed to the root complex), length 0.
  std::vector<uint8_t> tlp{0x30, 0, 0, 0, static_cast<uint8_t>(requester >> 8), static_cast<uint8_t>(requester), 0, code};
  tlp.resize(16, 0);
  return tlp;
}

std::optional<config_request> parse_config_request(const std::vector<uint8_t>& tlp) {
  if (tlp.size() < 12) return std::nullopt;
  const uint8_t kind = tlp[0] & 0x7F;
  if (kind != 0x04 && kind != 0x05 && kind != 0x44 && kind != 0x45) return std::nullopt;
  config_request r;
  r.write = (kind & 0x40) != 0;
  if (r.write && tlp.size() < 16) return std::nullopt;
  r.type1 = (kind & 1) != 0;
  r.requester = static_cast<uint16_t>(tlp[4] << 8 | tlp[5]);
  r.tag = tlp[6];
  r.byte_enables = tlp[7] & 0x0F;
  r.target = bdf{tlp[8], static_cast<uint8_t>(tlp[9] >> 3), static_cast<uint8_t>(tlp[9] & 7)};
  r.offset = static_cast<uint16_t>((tlp[10] & 0x0F) << 8 | (tlp[11] & 0xFC));
  if (r.write) r.data = uint32_t{tlp[12]} | uint32_t{tlp[13]} << 8 | uint32_t{tlp[14]} << 16 | uint32_t{tlp[15]} << 24;
  return r;
}

bool is_completion(const std::vector<uint8_t>& tlp) {
  return tlp.size() >= 12 && ((tlp[0] & 0x7F) == 0x0A || (tlp[0] & 0x7F) == 0x4A);
}

uint8_t completion_status(const std::vector<uint8_t>& tlp) { return static_cast<uint8_t>(tlp[6] >> 5); }

uint8_t completion_tag(const std::vector<uint8_t>& tlp) { return tlp[10]; }

uint32_t completion_data(const std::vector<uint8_t>& tlp) {
  if ((tlp[0] & 0x40) == 0 || tlp.size() < 16) return 0xFFFFFFFFu;
  return uint32_t{tlp[12]} | uint32_t{tlp[13]} << 8 | uint32_t{tlp[14]} << 16 | uint32_t{tlp[15]} << 24;
}

}  // namespace zamsim
