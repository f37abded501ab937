// Trace records: configuration TLPs, Ack/Nak DLLPs with their CRC, and the buffer.
#include "card/trace.h"

#include <cstdio>
#include <cstring>

namespace zamsim {
namespace {

void put_be16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void put_config_bytes(std::vector<uint8_t>& out, uint32_t data) {
  for (int byte = 0; byte < 4; ++byte) out.push_back(static_cast<uint8_t>(data >> (8 * byte)));
}

uint8_t reverse_bits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
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

std::vector<uint8_t> ack_nak_dllp(uint8_t type, uint16_t sequence) {
  std::vector<uint8_t> dllp{type, 0, static_cast<uint8_t>((sequence >> 8) & 0x0F),
                            static_cast<uint8_t>(sequence), 0, 0};
  dllp_crc(dllp.data(), dllp[4], dllp[5]);
  return dllp;
}

void trace_buffer::add_record(uint8_t kind, uint16_t words, const uint8_t* payload, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (data_.size() + 8 + length > capacity_) {
    ++dropped_;
    return;
  }
  const uint8_t header[8] = {trace_marker, static_cast<uint8_t>(kind & 7), static_cast<uint8_t>(words),
                             static_cast<uint8_t>(words >> 8), 0, 0, 0, 0};
  data_.insert(data_.end(), header, header + 8);
  data_.insert(data_.end(), payload, payload + length);
}

void trace_buffer::add_tlp(const std::vector<uint8_t>& tlp) {
  // TLPs are whole dwords on the link.
  std::vector<uint8_t> padded = tlp;
  padded.resize((tlp.size() + 3) & ~std::size_t{3}, 0);
  add_record(trace_kind_tlp, static_cast<uint16_t>(padded.size() / 4), padded.data(), padded.size());
}

void trace_buffer::add_dllp(const std::vector<uint8_t>& dllp) {
  uint8_t payload[8] = {};
  std::memcpy(payload + 1, dllp.data(), dllp.size() < 6 ? dllp.size() : 6);
  add_record(trace_kind_dllp, 2, payload, sizeof payload);
}

void trace_buffer::clear() {
  std::lock_guard lock(mutex_);
  data_.clear();
  dropped_ = 0;
}

std::size_t trace_buffer::size() const {
  std::lock_guard lock(mutex_);
  return data_.size();
}

std::size_t trace_buffer::read(uint8_t* out, std::size_t length) const {
  std::lock_guard lock(mutex_);
  const std::size_t count = length < data_.size() ? length : data_.size();
  if (count > 0) std::memcpy(out, data_.data(), count);
  return count;
}

std::vector<uint8_t> trace_buffer::bytes() const {
  std::lock_guard lock(mutex_);
  return data_;
}

std::size_t trace_buffer::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

std::string trace_buffer::describe(std::size_t max_records) const {
  std::lock_guard lock(mutex_);
  std::string text;
  std::size_t at = 0, shown = 0;
  while (at + 8 <= data_.size() && data_[at] == trace_marker) {
    const uint8_t kind = data_[at + 1] & 7;
    const std::size_t payload = kind <= 2 ? std::size_t{4} * (data_[at + 2] | data_[at + 3] << 8)
                                          : kind == trace_kind_dllp ? 8 : 0;
    if (at + 8 + payload > data_.size()) break;
    if (shown < max_records) {
      char line[160];
      const uint8_t* p = data_.data() + at + 8;
      if (kind == trace_kind_dllp) {
        std::snprintf(line, sizeof line, "  DLLP %02x %02x %02x %02x %02x %02x\n", p[1], p[2], p[3], p[4], p[5], p[6]);
      } else if (kind <= 2 && payload >= 12) {
        std::snprintf(line, sizeof line, "  TLP  %02x%02x%02x%02x %02x%02x%02x%02x %02x%02x%02x%02x%s\n", p[0], p[1],
                      p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11], payload > 12 ? " ..." : "");
      } else {
        std::snprintf(line, sizeof line, "  record kind %u, %zu payload bytes\n", kind, payload);
      }
      text += line;
    }
    ++shown;
    at += 8 + payload;
  }
  if (shown > max_records) text += "  ... " + std::to_string(shown - max_records) + " more records\n";
  return text;
}

}  // namespace zamsim
