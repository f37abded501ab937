// Where traces come from: a raw trace file (the record bytes as the framework reads them
// from the card) or a program's XML log, whose trace dump holds the bytes as "0x%08x"
// words, each the next four bytes read as a little-endian number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zamtrace {

// One trace dump of an XML log.
struct log_dump {
  std::vector<uint8_t> bytes;      // the trace bytes, cut to the dump's byte count
  std::size_t declared_bytes = 0;  // the dump's <NumBytes>
  std::size_t words = 0;           // how many words its <TBData> holds
  std::string problem;             // what was wrong with the dump (empty when nothing)
};

// Whether the text is an XML log (holds a trace dump or starts, after white space, with '<').
bool looks_like_xml_log(const std::string& text);

// Every trace dump in the log, in log order. A dump whose words are fewer than its byte
// count gives the bytes there are and says so in `problem`; a token that is not a word is
// skipped and named in `problem`.
std::vector<log_dump> read_xml_log(const std::string& text);

// The dump lines the framework writes for these bytes: "0x%08x\n" per word, the last word
// padded with zero bytes.
std::string trace_words(const std::vector<uint8_t>& bytes);

}  // namespace zamtrace
