// Prints one packet of the packet log: its kind, header fields and payload words.
#include "packet_printer.h"

#include <cstdarg>
#include <cstdio>

#include "tlp_fields.h"

namespace zamlib {
namespace {

enum class packet_class { memory32, memory64, configuration, message, completion, unknown };

struct kind {
  const char* name;
  packet_class cls;
};

kind kind_of(uint32_t fmt_type) {
  if (fmt_type >= 0x30 && fmt_type <= 0x37) return {"Msg   ", packet_class::message};
  if (fmt_type >= 0x70 && fmt_type <= 0x77) return {"MsgD  ", packet_class::message};
  switch (fmt_type) {
    case 0x00: return {"MRd32 ", packet_class::memory32};
    case 0x01: return {"MRd32L", packet_class::memory32};
    case 0x02: return {"IORd  ", packet_class::memory32};
    case 0x04: return {"CfgRd0", packet_class::configuration};
    case 0x05: return {"CfgRd1", packet_class::configuration};
    case 0x0A: return {"Cpl   ", packet_class::completion};
    case 0x0B: return {"CplLk ", packet_class::completion};
    case 0x20: return {"MRd64 ", packet_class::memory64};
    case 0x21: return {"MRd64L", packet_class::memory64};
    case 0x40: return {"MWr32 ", packet_class::memory32};
    case 0x42: return {"IOWr  ", packet_class::memory32};
    case 0x44: return {"CfgWr0", packet_class::configuration};
    case 0x45: return {"CfgWr1", packet_class::configuration};
    case 0x4A: return {"CplD  ", packet_class::completion};
    case 0x4B: return {"CplDLk", packet_class::completion};
    case 0x60: return {"MWr64 ", packet_class::memory64};
    default: return {nullptr, packet_class::unknown};
  }
}

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...) {
  char text[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  out += text;
}

void append_byte_enables(std::string& out, uint32_t w1) {
  if (tlp::first_be(w1) != 0xF || tlp::last_be(w1) != 0) {
    append(out, " BE=%x/%x", tlp::first_be(w1), tlp::last_be(w1));
  }
}

bool is_request(packet_class cls) {
  return cls == packet_class::memory32 || cls == packet_class::memory64 || cls == packet_class::configuration;
}

}  // namespace

std::string masked_dword(uint32_t value, uint32_t byte_enables) {
  std::string out;
  for (int byte = 3; byte >= 0; --byte) {
    if (byte_enables & (1u << byte)) {
      append(out, "%02x", (value >> (8 * byte)) & 0xFF);
    } else {
      out += "xx";
    }
  }
  return out;
}

std::string print_packet(const char* direction, const uint32_t* words, uint32_t length) {
  std::string out;
  append(out, "%s ", direction);
  const uint32_t whole_words = length / 4;
  const uint32_t header_words = length > 11 && tlp::four_dword_header(words[0]) ? 4 : 3;
  // A packet must hold its whole header; a 4-dword header needs 16 bytes.
  if (length <= 11 || whole_words < header_words) {
    append(out, "*** short packet (length=%d)\n", static_cast<int>(length));
    return out;
  }
  const uint32_t w0 = words[0], w1 = words[1], w2 = words[2];
  const kind k = kind_of(tlp::fmt_type(w0));
  if (k.name != nullptr) {
    out += k.name;
  } else {
    append(out, "*** unknown packet type: 0x%02x\n", tlp::fmt_type(w0));
  }
  append(out, " L=%d", static_cast<int>(tlp::length_field(w0)));
  if (tlp::traffic_class(w0)) append(out, " TC=%d", static_cast<int>(tlp::traffic_class(w0)));
  if (tlp::digest(w0)) append(out, " TD=%d", static_cast<int>(tlp::digest(w0)));
  if (tlp::poisoned(w0)) append(out, " EP=%d", static_cast<int>(tlp::poisoned(w0)));
  if (tlp::attributes(w0)) append(out, " Attr=%d", static_cast<int>(tlp::attributes(w0)));
  switch (k.cls) {
    case packet_class::memory32:
      append(out, " Tag=%02x reqID=%03x addr=%08x", tlp::request_tag(w1), tlp::requester_id(w1), w2);
      append_byte_enables(out, w1);
      break;
    case packet_class::memory64:
      append(out, " Tag=%02x reqID=%03x addr=%08x %08x", tlp::request_tag(w1), tlp::requester_id(w1), w2, words[3]);
      append_byte_enables(out, w1);
      break;
    case packet_class::configuration:
      append(out, " Tag=%02x reqID=%03x cplID=%03x reg=%x%02x", tlp::request_tag(w1), tlp::requester_id(w1),
             tlp::target_id(w2), (w2 >> 8) & 0xF, w2 & 0xFC);
      append_byte_enables(out, w1);
      break;
    case packet_class::message:
      append(out, " Tag=%02x reqID=%03x code=%x", tlp::request_tag(w1), tlp::requester_id(w1), tlp::message_code(w1));
      break;
    case packet_class::completion:
      append(out, " Tag=%02x reqID=%03x cplID=%03x", tlp::completion_tag(w2), tlp::completion_requester_id(w2),
             tlp::completer_id(w1));
      if (tlp::completion_status(w1)) append(out, " CS=%x", tlp::completion_status(w1));
      if (tlp::byte_count(w1) != 4) append(out, " bc=%d", static_cast<int>(tlp::byte_count(w1)));
      if (tlp::byte_count_modified(w1)) append(out, " BCM=%d", static_cast<int>(tlp::byte_count_modified(w1)));
      if (tlp::lower_address(w2)) append(out, " Laddr=%x", tlp::lower_address(w2));
      break;
    case packet_class::unknown: break;
  }
  if (tlp::has_data(w0)) {
    out += " data=";
    // A length field of 0 means 1024 dwords; only the dwords received are printed.
    const uint32_t declared = tlp::length_field(w0) == 0 ? 1024 : tlp::length_field(w0);
    const uint32_t available = whole_words - header_words;
    const uint32_t count = declared < available ? declared : available;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t enables = 0xF;
      if (is_request(k.cls)) {
        if (i == 0) {
          enables = tlp::first_be(w1);
        } else if (i + 1 == declared) {
          enables = tlp::last_be(w1);
        }
      }
      out += masked_dword(words[header_words + i], enables) + " ";
    }
  }
  out += "\n";
  return out;
}

}  // namespace zamlib
