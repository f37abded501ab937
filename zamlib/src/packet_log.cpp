// Packet log: pairing of configuration requests with their completions, and the summary.
#include "packet_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "packet_printer.h"
#include "tlp_fields.h"

namespace zamlib {
namespace {

const char* status_suffix(uint32_t status) {
  switch (status) {
    case tlp::status_ur: return " CS=UR";
    case tlp::status_crs: return " CS=CRS";
    case tlp::status_ca: return " CS=CA";
    default: return "";
  }
}

std::string hex(const char* format, uint32_t a, uint32_t b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

void packet_log::record(const char* direction, const uint32_t* words, uint32_t length) {
  if (has_pending_) {
    // Take the request out first, so that whatever happens next it is printed exactly once.
    pending_request request = std::move(pending_);
    has_pending_ = false;
    if (pair_with_pending(request, words, length)) return;
    out_(print_packet(request.direction.c_str(), request.words.data(), request.length));
  }
  if (length > 11) {
    const uint32_t t = tlp::type(words[0]);
    if ((t == tlp::type_cfg0 || t == tlp::type_cfg1) && tlp::length_field(words[0]) == 1) {
      pending_.direction = direction;
      pending_.length = std::min(length, max_pending_bytes);
      // Only the whole words: the bytes of a partial last word may lie past the buffer
      // (they are past `length`), and neither printing nor pairing reads them.
      pending_.words.assign(words, words + pending_.length / 4);
      has_pending_ = true;
      return;
    }
  }
  out_(print_packet(direction, words, length));
}

bool packet_log::pair_with_pending(const pending_request& request, const uint32_t* words, uint32_t length) {
  if (length <= 11 || tlp::type(words[0]) != tlp::type_completion) return false;
  const uint32_t* req = request.words.data();
  const uint32_t w1 = words[1], w2 = words[2];
  if (tlp::completion_tag(w2) != tlp::request_tag(req[1]) ||
      tlp::completion_requester_id(w2) != tlp::requester_id(req[1]) ||
      tlp::completer_id(w1) != tlp::target_id(req[2])) {
    return false;
  }
  const bool read = tlp::fmt(req[0]) == 0;
  const bool write = tlp::fmt(req[0]) == 2;
  if (!read && !(write && !tlp::has_data(words[0]))) return false;

  const uint32_t completer = tlp::completer_id(w1);
  const uint32_t offset = tlp::register_offset(req[2]);
  const uint32_t enables = tlp::first_be(req[1]);
  const uint32_t status = tlp::completion_status(w1);
  std::string line = hex(read ? "CfgRead  ID=%03x reg=%03x" : "CfgWrite ID=%03x reg=%03x", completer, offset);
  // The data word is printed (and remembered) only when it was actually received.
  bool has_word = false;
  uint32_t data = 0;
  if (read && tlp::has_data(words[0]) && length >= 16) {
    has_word = true;
    data = words[3];
  } else if (write && request.length >= 16) {
    has_word = true;
    data = req[3];
  }
  if (has_word) line += " data=" + masked_dword(data, enables) + " ";
  line += status_suffix(status);
  line += "\n";
  out_(line);
  if (status == 0 && has_word && offset < 0x40) remember(completer, offset, data, enables);
  return true;
}

void packet_log::remember(uint32_t completer_id, uint32_t offset, uint32_t data, uint32_t byte_enables) {
  auto entry = std::find_if(entries_.begin(), entries_.end(),
                            [&](const config_entry& e) { return e.completer_id == completer_id; });
  if (entry == entries_.end()) {
    entries_.push_back(config_entry{completer_id, {}, {}});
    entry = entries_.end() - 1;
  }
  const uint32_t index = offset / 4;
  for (uint32_t byte = 0; byte < 4; ++byte) {
    if (!(byte_enables & (1u << byte))) continue;
    const uint32_t shift = 8 * byte;
    entry->values[index] = (entry->values[index] & ~(0xFFu << shift)) | (data & (0xFFu << shift));
    entry->masks[index] |= static_cast<uint8_t>(1u << byte);
  }
}

void packet_log::flush_pending() {
  if (!has_pending_) return;
  pending_request request = std::move(pending_);
  has_pending_ = false;
  out_(print_packet(request.direction.c_str(), request.words.data(), request.length));
}

std::string packet_log::summary() const {
  std::string text = "Summary of config space contents:\n";
  char piece[32];
  for (const auto& entry : entries_) {
    std::snprintf(piece, sizeof piece, "ID=%03x\n", entry.completer_id);
    text += piece;
    for (uint32_t index = 0; index < 16; ++index) {
      std::snprintf(piece, sizeof piece, "      %02x: ", index * 4);
      text += piece;
      for (int byte = 3; byte >= 0; --byte) {
        if (entry.masks[index] & (1u << byte)) {
          std::snprintf(piece, sizeof piece, "%02x", (entry.values[index] >> (8 * byte)) & 0xFF);
          text += piece;
        } else {
          text += "xx";
        }
      }
      text += "\n";
    }
  }
  return text;
}

}  // namespace zamlib
