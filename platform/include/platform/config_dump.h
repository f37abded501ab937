// Configuration-space dumps: the text `lspci -x`, `-xxx` and `-xxxx` print, read and written.
//
// A dump holds, per function, a header line "BB:DD.F text" or "DDDD:BB:DD.F text" (the text
// after the address is free and ignored) and then lines "OFF: b0 b1 ... b15" of an offset
// (hexadecimal, a multiple of 16 below 0x1000, rising within the function) and exactly 16
// hex bytes. Blank lines separate functions. A line ending in CR LF reads as one in LF.
//
// What the dump gives of a function reaches from offset 0 to the end of its last line;
// within that, a line the dump leaves out reads as all ones (0xFF), as the bus answers
// where nothing responds. Past the last line nothing can be read: a read that reaches there
// comes back short, as a read past what the kernel exposes does on sysfs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct dumped_function {
  uint32_t domain = 0;
  uint32_t bus = 0;
  uint32_t device = 0;
  uint32_t function = 0;
  std::size_t line = 0;        // the line of its header, counted from 1
  std::vector<uint8_t> bytes;  // offset 0 to the end of its last line
};

struct config_dump {
  std::vector<dumped_function> functions;  // in the order of the file
};

// The largest dump file read: several times a full `lspci -xxxx` of a large server.
inline constexpr std::size_t max_config_dump_bytes = 64u << 20;

// Parses a dump's text. On failure returns false and sets `error` to "line N: what is
// wrong" (N counted from 1); `dump` then holds nothing.
bool parse_config_dump(std::string_view text, config_dump& dump, std::string& error);

// Reads a dump file (a regular file of at most max_config_dump_bytes) and parses it. On
// failure `error` is the reader's reason ("No such file or directory", "not a regular
// file", "larger than N bytes") or the parser's "line N: ...".
bool load_config_dump(const std::string& path, config_dump& dump, std::string& error);

// "BB:DD.F", or "DDDD:BB:DD.F" when the domain is not 0.
std::string dumped_address(const dumped_function& function);

// One function as `lspci -x` prints it: the header line "BB:DD.F <description>" (no text
// after the address when the description is empty), one line per 16 bytes (a partial last
// line is left out), then an empty line.
std::string format_dumped_function(const dumped_function& function, const std::string& description);

}  // namespace platform
