// The trace walk and the TLP and DLLP decoders.
#include "zamtrace/decode.h"

#include <cstdio>

namespace zamtrace {
namespace {

const char* const completion_status[8] = {"SC", "UR", "CRS", nullptr, "CA", nullptr, nullptr, nullptr};

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void clear_fields(decoded_record& r) {
  r.kind = record_kind::invalid;
  r.direction = link_direction::unknown;
  r.time_ns.reset();
  r.marks = 0;
  r.type.clear();
  r.bytes.clear();
  r.problem.clear();
  r.requester.reset();
  r.completer.reset();
  r.tag.reset();
  r.address.reset();
  r.config_register.reset();
  r.length.reset();
  r.first_be.reset();
  r.last_be.reset();
  r.status.reset();
  r.byte_count.reset();
  r.message_code.reset();
  r.message_routing.reset();
  r.seq.reset();
  r.vc.reset();
  r.header_credits.reset();
  r.data_credits.reset();
  r.crc_good.reset();
}

std::string hex_name(const char* prefix, unsigned value) {
  char text[48];
  std::snprintf(text, sizeof text, "%s0x%02X", prefix, value);
  return text;
}

}  // namespace

uint32_t mark_of_action(uint8_t action) {
  switch (action) {
    case header_action::bad_lcrc: return mark_bad_lcrc;
    case header_action::duplicate: return mark_duplicate;
    case header_action::replay: return mark_replay;
    case header_action::bad_dllp_crc: return mark_bad_dllp_crc;
    case header_action::dllp_reserved_bits: return mark_dllp_reserved_bits;
    case header_action::substituted: return mark_substituted;
    case header_action::discarded: return mark_discarded;
    default: return 0;
  }
}

std::string message_name(uint8_t code) {
  switch (code) {
    case 0x00: return "Unlock";
    case 0x10: return "LTR";
    case 0x12: return "OBFF";
    case 0x14: return "PM_Active_State_Nak";
    case 0x18: return "PM_PME";
    case 0x19: return "PME_Turn_Off";
    case 0x1B: return "PME_TO_Ack";
    case 0x20: return "Assert_INTA";
    case 0x21: return "Assert_INTB";
    case 0x22: return "Assert_INTC";
    case 0x23: return "Assert_INTD";
    case 0x24: return "Deassert_INTA";
    case 0x25: return "Deassert_INTB";
    case 0x26: return "Deassert_INTC";
    case 0x27: return "Deassert_INTD";
    case 0x30: return "ERR_COR";
    case 0x31: return "ERR_NONFATAL";
    case 0x33: return "ERR_FATAL";
    case 0x50: return "Set_Slot_Power_Limit";
    case 0x7E: return "Vendor_Defined_Type_0";
    case 0x7F: return "Vendor_Defined_Type_1";
    default: return hex_name("code ", code);
  }
}

const char* routing_name(uint8_t routing) {
  static const char* const names[8] = {"to RC", "by address", "by ID", "broadcast",
                                       "local", "gathered", "routing 6", "routing 7"};
  return names[routing & 7];
}

const char* mark_name(card_mark mark) {
  switch (mark) {
    case mark_bad_lcrc: return "bad-LCRC";
    case mark_duplicate: return "duplicate";
    case mark_replay: return "replay";
    case mark_bad_dllp_crc: return "bad-CRC";
    case mark_dllp_reserved_bits: return "reserved-bits";
    case mark_substituted: return "substituted";
    case mark_discarded: return "discarded-Nak";
  }
  return "mark";
}

std::string bdf_text(uint16_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x:%02x.%u", id >> 8, (id >> 3) & 0x1F, id & 7u);
  return text;
}

void dllp_crc(const uint8_t* first_four, uint8_t& byte4, uint8_t& byte5) {
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < 4; ++i) {
    for (int bit = 0; bit < 8; ++bit) {  // each byte least significant bit first
      const bool feedback = (((first_four[i] >> bit) & 1) != 0) != ((crc & 0x8000) != 0);
      crc = static_cast<uint16_t>(crc << 1);
      if (feedback) crc ^= 0x100B;
    }
  }
  crc = static_cast<uint16_t>(~crc);
  // Sent most significant bit first: each byte on the link holds its bits reversed.
  auto reversed = [](uint8_t b) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r << 1 | ((b >> i) & 1));
    return r;
  };
  byte4 = reversed(static_cast<uint8_t>(crc >> 8));
  byte5 = reversed(static_cast<uint8_t>(crc));
}

void decode_tlp(const uint8_t* p, std::size_t size, decoded_record& r) {
  r.kind = record_kind::tlp;
  if (size < 4) {
    r.type = "TLP";
    r.problem = "TLP shorter than its first header doubleword";
    return;
  }
  if (p[0] & 0x80) {  // Fmt 100b: a TLP prefix, not a TLP header
    r.type = hex_name("TLP prefix ", p[0]);
    return;
  }
  const unsigned fmt = (p[0] >> 5) & 3, type = p[0] & 0x1F;
  const bool four_dw = (fmt & 1) != 0, data = (fmt & 2) != 0;
  const std::size_t header = four_dw ? 16 : 12;
  const unsigned length_field = (p[2] & 3u) << 8 | p[3];
  const uint16_t length = static_cast<uint16_t>(length_field == 0 ? 1024 : length_field);
  enum { memory, io, config, message, completion, atomic, other } group = other;
  if (type == 0x00 || (type == 0x01 && !data)) {
    group = memory;
    if (type == 0x01) r.type = four_dw ? "MRdLk64" : "MRdLk";
    else r.type = data ? (four_dw ? "MWr64" : "MWr32") : (four_dw ? "MRd64" : "MRd32");
  } else if (type == 0x02 && !four_dw) {
    group = io;
    r.type = data ? "IOWr" : "IORd";
  } else if ((type == 0x04 || type == 0x05) && !four_dw) {
    group = config;
    r.type = std::string(data ? "CfgWr" : "CfgRd") + (type == 0x04 ? "0" : "1");
  } else if ((type & 0x18) == 0x10 && four_dw) {
    group = message;
    r.type = data ? "MsgD" : "Msg";
  } else if ((type == 0x0A || type == 0x0B) && !four_dw) {
    group = completion;
    r.type = std::string(data ? "CplD" : "Cpl") + (type == 0x0B ? "Lk" : "");
  } else if (type >= 0x0C && type <= 0x0E && data) {
    group = atomic;
    static const char* const names[3] = {"FetchAdd", "Swap", "CAS"};
    r.type = names[type - 0x0C];
  } else {
    char text[40];
    std::snprintf(text, sizeof text, "TLP Fmt %u Type 0x%02X", fmt, type);
    r.type = text;
  }
  if (group == other) return;
  // Requests carry a length; completions and messages only with data.
  if ((group != completion && group != message) || data) r.length = length;
  if (size < header) {
    r.problem = "TLP header cut short: " + std::to_string(size) + " of " + std::to_string(header) + " bytes";
    return;
  }
  if (group == completion) {
    r.completer = be16(p + 4);
    const unsigned status = p[6] >> 5;
    r.status = completion_status[status] ? completion_status[status] : "status " + std::to_string(status);
    const unsigned count = (p[6] & 0x0Fu) << 8 | p[7];
    r.byte_count = static_cast<uint16_t>(count == 0 ? 4096 : count);
    r.requester = be16(p + 8);
    r.tag = p[10];
    return;
  }
  r.requester = be16(p + 4);
  r.tag = p[6];
  if (group == message) {
    r.message_code = p[7];
    r.message_routing = static_cast<uint8_t>(type & 7);
    return;
  }
  r.first_be = p[7] & 0x0F;
  r.last_be = p[7] >> 4;
  if (group == config) {
    r.completer = be16(p + 8);
    r.config_register = static_cast<uint16_t>((p[10] & 0x0Fu) << 8 | (p[11] & 0xFCu));
    return;
  }
  if (four_dw) {
    r.address = (uint64_t{be32(p + 8)} << 32 | be32(p + 12)) & ~uint64_t{3};
  } else {
    r.address = be32(p + 8) & ~uint32_t{3};
  }
}

void decode_dllp(const uint8_t* d, decoded_record& r) {
  r.kind = record_kind::dllp;
  uint8_t b4, b5;
  dllp_crc(d, b4, b5);
  r.crc_good = b4 == d[4] && b5 == d[5];
  const uint8_t type = d[0];
  switch (type) {
    case 0x00:
    case 0x10:
      r.type = type == 0x00 ? "Ack" : "Nak";
      r.seq = static_cast<uint16_t>((d[2] & 0x0Fu) << 8 | d[3]);
      return;
    case 0x20: r.type = "PM_Enter_L1"; return;
    case 0x21: r.type = "PM_Enter_L23"; return;
    case 0x23: r.type = "PM_Active_State_Request_L1"; return;
    case 0x24: r.type = "PM_Request_Ack"; return;
    case 0x30: r.type = "Vendor-specific"; return;
    default: break;
  }
  const char* fc = nullptr;
  switch (type & 0xF8) {
    case 0x40: fc = "InitFC1-P"; break;
    case 0x50: fc = "InitFC1-NP"; break;
    case 0x60: fc = "InitFC1-Cpl"; break;
    case 0xC0: fc = "InitFC2-P"; break;
    case 0xD0: fc = "InitFC2-NP"; break;
    case 0xE0: fc = "InitFC2-Cpl"; break;
    case 0x80: fc = "UpdateFC-P"; break;
    case 0x90: fc = "UpdateFC-NP"; break;
    case 0xA0: fc = "UpdateFC-Cpl"; break;
    default: break;
  }
  if (fc == nullptr) {
    r.type = hex_name("DLLP ", type);
    return;
  }
  r.type = fc;
  r.vc = type & 7;
  r.header_credits = static_cast<uint8_t>((d[1] & 0x3F) << 2 | d[2] >> 6);
  r.data_credits = static_cast<uint16_t>((d[2] & 0x0Fu) << 8 | d[3]);
}

bool record_walker::next(decoded_record& r) {
  if (at_ >= size_) return false;
  clear_fields(r);
  r.index = index_++;
  r.offset = at_;
  const uint8_t* h = bytes_ + at_;
  const std::size_t left = size_ - at_;
  auto rest_invalid = [&](std::string problem) {
    r.kind = record_kind::invalid;
    r.type = "invalid";
    r.problem = std::move(problem);
    r.bytes.assign(h, h + left);
    at_ = size_;
    return true;
  };
  if (h[0] != record_marker) {
    return rest_invalid(hex_name("no record marker: byte ", h[0]) + ", the walk ends here (" +
                        std::to_string(left) + " bytes left)");
  }
  if (left < 8) return rest_invalid("record header cut short: " + std::to_string(left) + " of 8 bytes");
  if (h[1] & 0x08) {
    r.direction = (h[1] & 0x10) ? link_direction::downstream : link_direction::upstream;
    r.marks = mark_of_action(static_cast<uint8_t>(h[1] >> 5));
    const uint32_t raw = uint32_t{h[4]} | uint32_t{h[5]} << 8 | uint32_t{h[6]} << 16 | uint32_t{h[7]} << 24;
    time_ = have_time_ ? time_ + static_cast<uint32_t>(raw - last_raw_time_) : raw;
    have_time_ = true;
    last_raw_time_ = raw;
    r.time_ns = time_;
  }
  const unsigned kind = h[1] & 7;
  if (kind >= 4) {
    r.type = "invalid";
    r.problem = "record kind " + std::to_string(kind) + " is not valid";
    r.bytes.assign(h, h + 8);
    at_ += 8;
    return true;
  }
  const std::size_t payload = kind == 3 ? 8 : std::size_t{4} * (h[2] | h[3] << 8);
  if (payload > left - 8) {
    return rest_invalid(std::string(kind == 3 ? "DLLP" : "TLP") + " record of " + std::to_string(payload) +
                        " payload bytes runs past the end of the trace (" + std::to_string(left - 8) + " left)");
  }
  r.bytes.assign(h + 8, h + 8 + payload);
  at_ += 8 + payload;
  if (kind == 3) {
    decode_dllp(h + 9, r);
  } else {
    decode_tlp(h + 8, payload, r);
  }
  return true;
}

std::size_t record_count(const uint8_t* bytes, std::size_t size) {
  std::size_t at = 0, count = 0;
  while (at < size) {
    ++count;
    if (bytes[at] != record_marker || size - at < 8) break;  // the rest is one invalid record
    const unsigned kind = bytes[at + 1] & 7;
    const std::size_t payload = kind >= 4 ? 0 : kind == 3 ? 8 : std::size_t{4} * (bytes[at + 2] | bytes[at + 3] << 8);
    if (payload > size - at - 8) break;
    at += 8 + payload;
  }
  return count;
}

std::vector<decoded_record> decode(const uint8_t* bytes, std::size_t size) {
  std::vector<decoded_record> records;
  records.reserve(record_count(bytes, size) + 1);
  record_walker walker(bytes, size);
  // Each record is decoded in its place: nothing is copied.
  do {
    records.emplace_back();
  } while (walker.next(records.back()));
  records.pop_back();
  return records;
}

}  // namespace zamtrace
