// Configuration requests over the card's bulk pipes: encoding, completions, time-outs.
#include "sut/card_link.h"

namespace zamsim {
namespace {

void put_be32(std::vector<uint8_t>& out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(word >> shift));
}

uint32_t be32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

std::vector<uint8_t> encode_config_request(bool type1, bool write, uint16_t requester_id, uint8_t tag, bdf target,
                                           uint16_t offset, uint8_t byte_enables, uint32_t value) {
  std::vector<uint8_t> out;
  const uint32_t fmt_type = (write ? 0x44u : 0x04u) | (type1 ? 1u : 0u);
  put_be32(out, fmt_type << 24 | 1u);
  put_be32(out, uint32_t{requester_id} << 16 | uint32_t{tag} << 8 | (byte_enables & 0xFu));
  put_be32(out, uint32_t{target.bus} << 24 | uint32_t(target.device & 0x1F) << 19 | uint32_t(target.function & 7) << 16 |
                    (offset & 0xFFCu));
  if (write) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));  // byte 0 first
  }
  return out;
}

decoded_completion decode_completion(const std::vector<uint8_t>& bytes, uint16_t requester_id, uint8_t tag) {
  decoded_completion d;
  if (bytes.size() != 12 && bytes.size() != 16) return d;
  const uint32_t w0 = be32(bytes.data()), w1 = be32(bytes.data() + 4), w2 = be32(bytes.data() + 8);
  const bool with_data = (w0 >> 24) == 0x4A;
  if (((w0 >> 24) & 0x1F) != 0x0A || (w0 >> 24) & 0x80 || with_data != (bytes.size() == 16)) return d;
  if ((w2 >> 16) != requester_id || ((w2 >> 8) & 0xFF) != tag) return d;
  switch ((w1 >> 13) & 7) {
    case 0: d.status = completion::success; break;
    case 1: d.status = completion::unsupported; break;
    case 2: d.status = completion::retry; break;
    case 4: d.status = completion::abort; break;
    default: return d;
  }
  if (d.status == completion::success && !with_data) {
    d.value = 0;  // a write's completion
  } else if (with_data) {
    const uint8_t* data = bytes.data() + 12;
    d.value = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
  }
  d.valid = true;
  return d;
}

completion card_link_access::exchange(const std::vector<uint8_t>& request, uint8_t tag, uint32_t* value) {
  usb_.inject_request(request);
  ++sent_;
  std::vector<uint8_t> answer;
  // Answers that are not this request's completion (malformed, or a late answer to an
  // earlier request) are dropped; the wait goes on until the time-out.
  while (usb_.wait_completion(answer, options_.completion_timeout_ms, stop_)) {
    const decoded_completion d = decode_completion(answer, options_.requester_id, tag);
    if (!d.valid) continue;
    if (value != nullptr) *value = d.status == completion::success ? d.value : 0xFFFFFFFFu;
    return d.status;
  }
  if (value != nullptr) *value = 0xFFFFFFFFu;
  return completion::none;
}

completion card_link_access::read_dword(bool type1, bdf target, uint16_t offset, uint32_t& value) {
  const uint8_t tag = next_tag_++;
  return exchange(encode_config_request(type1, false, options_.requester_id, tag, target, offset, 0xF, 0), tag, &value);
}

completion card_link_access::write_dword(bool type1, bdf target, uint16_t offset, uint8_t byte_enables,
                                         uint32_t value) {
  const uint8_t tag = next_tag_++;
  return exchange(encode_config_request(type1, true, options_.requester_id, tag, target, offset, byte_enables, value),
                  tag, nullptr);
}

void card_link_access::post_write(bool type1, bdf target, uint16_t offset, uint32_t value) {
  usb_.inject_request(encode_config_request(type1, true, options_.requester_id, next_tag_++, target, offset, 0xF, value));
  ++sent_;
}

}  // namespace zamsim
