// Parses dialog answers shared by the terminal and the script backends.
#include "operator_dialog_reply.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "operator_script.h"
#include "platform/sync.h"

namespace platform::detail {
namespace {

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// A whole-string unsigned number in the given base that fits 32 bits.
std::optional<uint32_t> parse_unsigned(std::string_view text, int base) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
      digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    } else {
      return std::nullopt;
    }
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

dialog_reply answered() {
  dialog_reply reply;
  reply.end = dialog_end::answered;
  reply.by_operator = true;
  return reply;
}

std::optional<dialog_reply> parse_choice(const dialog_request& request, const std::string& text,
                                         std::string* why) {
  if (text == "0" || same_text(text, "cancel")) {
    dialog_reply reply = ended_reply(dialog_end::cancelled);
    reply.by_operator = true;
    return reply;
  }
  if (const auto number = parse_unsigned(text, 10)) {
    if (*number >= 1 && *number <= request.items.size()) {
      dialog_reply reply = answered();
      reply.index = *number - 1;
      return reply;
    }
  }
  for (std::size_t i = 0; i < request.items.size(); ++i) {
    if (same_text(text, trim_reply(request.items[i]))) {
      dialog_reply reply = answered();
      reply.index = static_cast<uint32_t>(i);
      return reply;
    }
  }
  *why = "type an entry number from 1 to " + std::to_string(request.items.size()) + ", or 0 to cancel";
  return std::nullopt;
}

std::optional<dialog_reply> parse_multi_choice(const dialog_request& request, const std::string& text,
                                               std::string* why) {
  if (same_text(text, "cancel")) {
    dialog_reply reply = ended_reply(dialog_end::cancelled);
    reply.by_operator = true;
    return reply;
  }
  dialog_reply reply = answered();
  if (text.empty() || text == "0" || same_text(text, "none")) return reply;
  std::set<uint32_t> chosen;
  std::string token;
  const auto take = [&]() {
    if (token.empty()) return true;
    const auto number = parse_unsigned(token, 10);
    token.clear();
    if (!number || *number < 1 || *number > request.items.size()) return false;
    chosen.insert(*number - 1);
    return true;
  };
  bool valid = true;
  for (char c : text + ",") {
    if (c == ',' || c == ' ' || c == '\t') {
      valid = take() && valid;
    } else {
      token += c;
    }
  }
  if (!valid) {
    *why = "type entry numbers from 1 to " + std::to_string(request.items.size()) +
           " separated by commas, 0 for none, or cancel";
    return std::nullopt;
  }
  reply.indices.assign(chosen.begin(), chosen.end());
  return reply;
}

std::optional<dialog_reply> parse_yes_no(const dialog_request& request, const std::string& text,
                                         std::string* why) {
  dialog_reply reply = answered();
  if (text == "1" || same_text(text, trim_reply(request.yes_label)) || same_text(text, "yes")) {
    reply.yes = true;
    return reply;
  }
  if (text == "2" || same_text(text, trim_reply(request.no_label)) || same_text(text, "no")) {
    reply.yes = false;
    return reply;
  }
  *why = "type 1 or \"" + request.yes_label + "\", 2 or \"" + request.no_label + "\"";
  return std::nullopt;
}

std::optional<dialog_reply> parse_number(const dialog_request& request, const std::string& text,
                                         std::string* why) {
  dialog_reply reply = answered();
  reply.has_number = true;
  if (text.empty()) {
    reply.number = request.default_number;
    return reply;
  }
  if (const auto number = parse_unsigned(text, request.hexadecimal ? 16 : 10)) {
    reply.number = *number;
    return reply;
  }
  *why = request.hexadecimal ? "type a hexadecimal number of at most 8 digits"
                             : "type a decimal number from 0 to 4294967295 (or 0x followed by hex digits)";
  return std::nullopt;
}

}  // namespace

dialog_reply ended_reply(dialog_end end) {
  dialog_reply reply;
  reply.end = end;
  return reply;
}

bool has_timeout(const dialog_request& request) {
  return request.timeout_ms != 0 && request.timeout_ms != wait_forever;
}

std::string describe_timeout(uint32_t timeout_ms) {
  if (timeout_ms % 1000 == 0) return std::to_string(timeout_ms / 1000) + " s";
  return std::to_string(timeout_ms) + " ms";
}

std::optional<dialog_reply> parse_dialog_line(const dialog_request& request, std::string_view line,
                                              std::string* why) {
  const std::string text = trim_reply(std::string(line));
  switch (request.kind) {
    case dialog_kind::choice: return parse_choice(request, text, why);
    case dialog_kind::multi_choice: return parse_multi_choice(request, text, why);
    case dialog_kind::yes_no: return parse_yes_no(request, text, why);
    case dialog_kind::number: return parse_number(request, text, why);
    case dialog_kind::text: {
      dialog_reply reply = answered();
      reply.text = text;
      return reply;
    }
    case dialog_kind::message: return answered();
  }
  *why = "unknown dialog kind";
  return std::nullopt;
}

dialog_reply automatic_reply(const dialog_request& request) {
  dialog_reply reply = answered();
  switch (request.kind) {
    case dialog_kind::choice:
      if (request.items.empty()) return ended_reply(dialog_end::cancelled);
      reply.index = 0;
      break;
    case dialog_kind::multi_choice:
      if (!request.items.empty()) reply.indices = {0};
      break;
    case dialog_kind::yes_no: reply.yes = true; break;
    case dialog_kind::number:
      reply.has_number = true;
      reply.number = request.default_number;
      break;
    case dialog_kind::text:
    case dialog_kind::message: break;
  }
  return reply;
}

}  // namespace platform::detail
