// Reading a configuration-space dump: header lines, byte lines, and a message naming the
// line for everything else.
#include <cstdio>
#include <map>

#include "platform/config_dump.h"
#include "platform/input_file.h"

namespace platform {
namespace {

constexpr std::size_t config_space_size = 4096;
constexpr std::size_t bytes_per_line = 16;
// What `lspci -x` prints in place of the bytes of a function it cannot read.
constexpr std::string_view lspci_unreadable_line = "WARNING: Cannot show hex-dump of the config space";

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The leading run of hex digits of `text` from `at`: its value (held at 2^40 once it grows
// past it, far above anything a dump holds) and its length.
std::size_t hex_run(std::string_view text, std::size_t at, uint64_t& value) {
  value = 0;
  std::size_t length = 0;
  while (at + length < text.size() && hex_digit(text[at + length]) >= 0) {
    if (value < (uint64_t{1} << 40)) value = value * 16 + hex_digit(text[at + length]);
    ++length;
  }
  return length;
}

// An offset as the line writes it, with "0x" before it (cut after 16 digits).
std::string offset_text(std::string_view line, std::size_t digits) {
  std::string text = "0x" + std::string(line.substr(0, digits < 16 ? digits : 16));
  return digits > 16 ? text + "..." : text;
}

std::string hex_text(uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
  return text;
}

// A line as a message quotes it: at most 40 characters, anything unprintable as \xNN.
std::string quoted(std::string_view line) {
  std::string text = "'";
  for (std::size_t i = 0; i < line.size() && i < 40; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    }
  }
  if (line.size() > 40) text += "...";
  return text + "'";
}

uint64_t function_key(const dumped_function& f) {
  return (uint64_t{f.domain} << 16) | (f.bus << 8) | (f.device << 3) | f.function;
}

class dump_parser {
 public:
  explicit dump_parser(config_dump& dump) : dump_(dump) {}

  // Takes one line (without its line end); false with `error_` set when it is wrong.
  bool take(std::string_view line) {
    ++line_number_;
    while (!line.empty() && (is_blank(line.back()) || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) return true;
    if (line == lspci_unreadable_line) {
      return fail("lspci could not read this function's configuration space ('" + std::string(line) +
                  "'): a dump without its bytes cannot stand in for it; remove the function from the dump");
    }
    uint64_t first = 0;
    const std::size_t digits = hex_run(line, 0, first);
    if (digits > 0 && digits < line.size() && line[digits] == ':' &&
        (digits + 1 == line.size() || is_blank(line[digits + 1]))) {
      return take_bytes(line, first, digits);
    }
    if (digits > 0 && digits < line.size() && line[digits] == ':') return take_header(line);
    return fail("neither a function's header line (BB:DD.F ...) nor a line of configuration "
                "bytes (offset: 16 hex bytes): " + quoted(line));
  }

  // Checks the last function once the text has ended.
  bool finish() {
    if (!close_function()) return false;
    if (dump_.functions.empty()) {
      error_ = "no function's header line (BB:DD.F ...) in the dump";
      return false;
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& text) {
    error_ = "line " + std::to_string(line_number_) + ": " + text;
    return false;
  }

  // "BB:DD.F" or "DDDD:BB:DD.F", then the end of the line or a blank and any text.
  bool take_header(std::string_view line) {
    uint64_t values[3] = {};
    std::size_t lengths[3] = {};
    std::size_t at = 0;
    int parts = 0;
    for (; parts < 3; ++parts) {
      lengths[parts] = hex_run(line, at, values[parts]);
      at += lengths[parts];
      if (lengths[parts] == 0 || at >= line.size() || line[at] != ':') break;
      ++at;
    }
    const bool with_domain = parts == 2;
    const uint64_t domain = with_domain ? values[0] : 0;
    const uint64_t bus = with_domain ? values[1] : values[0];
    const uint64_t device = with_domain ? values[2] : values[1];
    const std::size_t bus_digits = with_domain ? lengths[1] : lengths[0];
    const std::size_t device_digits = with_domain ? lengths[2] : lengths[1];
    const bool shaped = (parts == 1 || parts == 2) && (!with_domain || (lengths[0] >= 4 && lengths[0] <= 8)) &&
                        bus_digits == 2 && device_digits == 2 && at + 1 < line.size() && line[at] == '.' &&
                        hex_digit(line[at + 1]) >= 0 && (at + 2 == line.size() || is_blank(line[at + 2]));
    if (!shaped) {
      return fail("not a function's header line (BB:DD.F or DDDD:BB:DD.F, then a blank and any text): " +
                  quoted(line));
    }
    const int function = hex_digit(line[at + 1]);
    if (device > 0x1F) return fail("device " + hex_text(device, 2) + " of " + quoted(line) + " is above 0x1f");
    if (function > 7) return fail("function " + std::to_string(function) + " of " + quoted(line) + " is above 7");
    if (!close_function()) return false;
    dumped_function next;
    next.domain = static_cast<uint32_t>(domain);
    next.bus = static_cast<uint32_t>(bus);
    next.device = static_cast<uint32_t>(device);
    next.function = static_cast<uint32_t>(function);
    next.line = line_number_;
    const auto [seen, added] = header_lines_.emplace(function_key(next), line_number_);
    if (!added) {
      return fail("function " + dumped_address(next) + " appears a second time (first on line " +
                  std::to_string(seen->second) + ")");
    }
    dump_.functions.push_back(std::move(next));
    last_offset_line_ = 0;
    return true;
  }

  bool take_bytes(std::string_view line, uint64_t offset, std::size_t digits) {
    if (dump_.functions.empty()) {
      return fail("configuration bytes before the first function's header line (BB:DD.F ...)");
    }
    dumped_function& current = dump_.functions.back();
    if (offset >= config_space_size) {
      return fail("offset " + offset_text(line, digits) + " lies past the 4096 bytes of configuration space");
    }
    if (offset % bytes_per_line != 0) return fail("offset " + offset_text(line, digits) + " is not a multiple of 0x10");
    if (last_offset_line_ != 0 && offset + bytes_per_line == current.bytes.size()) {
      return fail("offset " + hex_text(offset, 2) + " of " + dumped_address(current) +
                  " appears a second time (first on line " + std::to_string(last_offset_line_) + ")");
    }
    if (offset < current.bytes.size()) {
      return fail("offset " + hex_text(offset, 2) + " comes after " + hex_text(current.bytes.size() - bytes_per_line, 2) +
                  " (offsets rise within a function)");
    }
    uint8_t bytes[bytes_per_line];
    std::size_t count = 0;
    std::size_t at = digits + 1;
    while (at < line.size()) {
      while (at < line.size() && is_blank(line[at])) ++at;
      std::size_t end = at;
      while (end < line.size() && !is_blank(line[end])) ++end;
      if (end == at) break;
      const std::string_view item = line.substr(at, end - at);
      if (item.size() != 2 || hex_digit(item[0]) < 0 || hex_digit(item[1]) < 0) {
        return fail(quoted(item) + " is not a byte (two hex digits)");
      }
      if (count < bytes_per_line) bytes[count] = static_cast<uint8_t>(hex_digit(item[0]) * 16 + hex_digit(item[1]));
      ++count;
      at = end;
    }
    if (count != bytes_per_line) {
      return fail(std::to_string(count) + (count == 1 ? " byte" : " bytes") + " where a line holds 16");
    }
    // A line the dump leaves out reads as all ones.
    current.bytes.resize(offset, 0xFF);
    current.bytes.insert(current.bytes.end(), bytes, bytes + bytes_per_line);
    last_offset_line_ = line_number_;
    return true;
  }

  bool close_function() {
    if (dump_.functions.empty() || !dump_.functions.back().bytes.empty()) return true;
    const dumped_function& last = dump_.functions.back();
    error_ = "line " + std::to_string(last.line) + ": function " + dumped_address(last) +
             " has no configuration bytes";
    return false;
  }

  config_dump& dump_;
  std::map<uint64_t, std::size_t> header_lines_;
  std::size_t line_number_ = 0;
  std::size_t last_offset_line_ = 0;  // the line of the current function's last offset
  std::string error_;
};

}  // namespace

bool parse_config_dump(std::string_view text, config_dump& dump, std::string& error) {
  dump.functions.clear();
  dump_parser parser(dump);
  bool ok = true;
  while (ok && !text.empty()) {
    const std::size_t end = text.find('\n');
    ok = parser.take(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  if (ok) ok = parser.finish();
  if (ok) return true;
  error = parser.error();
  dump.functions.clear();
  return false;
}

bool load_config_dump(const std::string& path, config_dump& dump, std::string& error) {
  dump.functions.clear();
  std::string text;
  if (!read_input_file(path, max_config_dump_bytes, &text, &error)) return false;
  return parse_config_dump(text, dump, error);
}

std::string dumped_address(const dumped_function& f) {
  char text[32];
  if (f.domain != 0) {
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%x", f.domain, f.bus, f.device, f.function);
  } else {
    std::snprintf(text, sizeof text, "%02x:%02x.%x", f.bus, f.device, f.function);
  }
  return text;
}

}  // namespace platform
