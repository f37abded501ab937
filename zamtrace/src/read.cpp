// Reading trace dumps out of XML logs.
#include "zamtrace/read.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace zamtrace {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A word as the framework writes it: "0x" and one to eight hexadecimal digits.
bool parse_word(const std::string& token, uint32_t& value) {
  if (token.size() < 3 || token.size() > 10 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) return false;
  value = 0;
  for (std::size_t i = 2; i < token.size(); ++i) {
    const char c = token[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value << 4 | digit;
  }
  return true;
}

}  // namespace

bool looks_like_xml_log(const std::string& text) {
  if (text.find("<TBData>") != std::string::npos) return true;
  for (char c : text) {
    if (is_space(c)) continue;
    return c == '<';
  }
  return false;
}

std::vector<log_dump> read_xml_log(const std::string& text) {
  std::vector<log_dump> dumps;
  std::size_t at = 0;
  while ((at = text.find("<TBContents>", at)) != std::string::npos) {
    log_dump dump;
    const std::size_t end_of_dump = text.find("</TBContents>", at);
    const std::size_t limit = end_of_dump == std::string::npos ? text.size() : end_of_dump;
    const std::size_t count = text.find("<NumBytes>", at);
    bool have_count = false;
    if (count != std::string::npos && count < limit) {
      const char* from = text.c_str() + count + 10;
      char* after = nullptr;
      const long long value = std::strtoll(from, &after, 10);
      if (after != from && value >= 0) {
        dump.declared_bytes = static_cast<std::size_t>(value);
        have_count = true;
      }
    }
    const std::size_t data = text.find("<TBData>", at);
    if (data == std::string::npos || data > limit) {
      dump.problem = "trace dump without <TBData>";
    } else {
      const std::size_t data_end = std::min(text.find("</TBData>", data), limit);
      if (data_end == std::string::npos || data_end == limit) dump.problem = "trace dump cut short";
      std::size_t i = data + 8;
      const std::size_t stop = data_end == std::string::npos ? text.size() : data_end;
      while (i < stop) {
        while (i < stop && is_space(text[i])) ++i;
        std::size_t j = i;
        while (j < stop && !is_space(text[j])) ++j;
        if (j == i) break;
        const std::string token = text.substr(i, j - i);
        uint32_t word;
        if (parse_word(token, word)) {
          for (int b = 0; b < 4; ++b) dump.bytes.push_back(static_cast<uint8_t>(word >> (8 * b)));
          ++dump.words;
        } else if (dump.problem.empty()) {
          dump.problem = "not a trace word: \"" + token.substr(0, 32) + "\"";
        }
        i = j;
      }
    }
    if (!have_count) {
      dump.declared_bytes = dump.bytes.size();
      if (dump.problem.empty()) dump.problem = "trace dump without <NumBytes>";
    }
    if (dump.bytes.size() > dump.declared_bytes) {
      dump.bytes.resize(dump.declared_bytes);
    } else if (dump.bytes.size() < dump.declared_bytes && dump.problem.empty()) {
      dump.problem = std::to_string(dump.words) + " words hold fewer than the dump's " +
                     std::to_string(dump.declared_bytes) + " bytes";
    }
    dumps.push_back(std::move(dump));
    at = limit;
  }
  return dumps;
}

std::string trace_words(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 4) {
    uint32_t word = 0;
    for (std::size_t b = 0; b < 4 && at + b < bytes.size(); ++b) word |= uint32_t{bytes[at + b]} << (8 * b);
    char line[16];
    std::snprintf(line, sizeof line, "0x%08x\n", word);
    text += line;
  }
  return text;
}

}  // namespace zamtrace
