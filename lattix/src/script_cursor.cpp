// Bounded field reads over script text.
#include "script_cursor.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace lattix_script {
namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f'; }
uint32_t hexValue(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) ? static_cast<uint32_t>(c - '0')
                                                      : static_cast<uint32_t>(std::tolower(c) - 'a' + 10);
}
}  // namespace

scriptCursor::scriptCursor(std::string text) {
  // Text mode: CR LF and lone CR end a line like LF.
  text_.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      text_.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      text_.push_back(text[i]);
    }
  }
}

int scriptCursor::lineNumber() const {
  if (pos_ < countedTo_) {
    countedTo_ = 0;
    countedLines_ = 1;
  }
  for (; countedTo_ < pos_ && countedTo_ < text_.size(); ++countedTo_)
    if (text_[countedTo_] == '\n') ++countedLines_;
  return countedLines_;
}

void scriptCursor::skipWhitespace() {
  while (!atEnd() && isSpace(text_[pos_])) ++pos_;
}

void scriptCursor::skipLine() {
  while (!atEnd() && text_[pos_] != '\n') ++pos_;
  if (!atEnd()) ++pos_;
}

bool scriptCursor::literal(const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == ' ') {
      skipWhitespace();
      continue;
    }
    if (atEnd() || text_[pos_] != *p) return false;
    ++pos_;
  }
  return true;
}

bool scriptCursor::field(std::string& out, const char* stops) {
  out.clear();
  while (!atEnd() && out.size() < kMaxField) {
    const char c = text_[pos_];
    if (c == '\0' ? false : std::strchr(stops, c) != nullptr) break;
    out.push_back(c);
    ++pos_;
  }
  return !out.empty();
}

bool scriptCursor::token(std::string& out) {
  skipWhitespace();
  out.clear();
  while (!atEnd() && out.size() < kMaxField && !isSpace(text_[pos_])) out.push_back(text_[pos_++]);
  return !out.empty();
}

bool scriptCursor::decimal(int& out) {
  skipWhitespace();
  size_t p = pos_;
  bool negative = false;
  if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) negative = text_[p++] == '-';
  if (p >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[p]))) return false;
  long long value = 0;
  while (p < text_.size() && std::isdigit(static_cast<unsigned char>(text_[p]))) {
    if (value <= INT_MAX) value = value * 10 + (text_[p] - '0');
    ++p;
  }
  if (value > INT_MAX) value = INT_MAX;
  out = static_cast<int>(negative ? -value : value);
  pos_ = p;
  return true;
}

bool scriptCursor::hexDigits(uint32_t& out, bool& wide) {
  const size_t start = pos_;
  uint32_t value = 0;
  wide = false;
  while (!atEnd() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
    if (value >> 28) wide = true;
    value = value << 4 | hexValue(text_[pos_]);
    ++pos_;
  }
  out = value;
  return pos_ > start;
}

bool parseHex(const std::string& text, uint32_t& out) {
  size_t p = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) p = 2;
  if (p >= text.size()) return false;
  uint64_t value = 0;
  for (; p < text.size(); ++p) {
    if (!std::isxdigit(static_cast<unsigned char>(text[p]))) return false;
    value = value * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(text[p]))
                                                   ? text[p] - '0'
                                                   : std::tolower(text[p]) - 'a' + 10);
    if (value > 0xFFFFFFFFull) return false;
  }
  out = static_cast<uint32_t>(value);
  return true;
}

bool parseDecimal(const std::string& text, int& out) {
  size_t p = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) negative = text[p++] == '-';
  if (p >= text.size()) return false;
  long long value = 0;
  for (; p < text.size(); ++p) {
    if (!std::isdigit(static_cast<unsigned char>(text[p]))) return false;
    value = value * 10 + (text[p] - '0');
    if (value > INT_MAX) return false;
  }
  out = static_cast<int>(negative ? -value : value);
  return true;
}

bool leadingHex(const std::string& text, uint32_t& out, bool& wide) {
  size_t p = text.find_first_not_of(" \t\n\v\f");
  if (p == std::string::npos) return false;
  const bool prefixed =
      text[p] == '0' && p + 1 < text.size() && (text[p + 1] == 'x' || text[p + 1] == 'X');
  if (prefixed) p += 2;
  scriptCursor digits(text.substr(p));
  if (digits.hexDigits(out, wide)) return true;
  // "0x" without a digit behind it is the number 0 followed by "x".
  out = 0;
  wide = false;
  return prefixed;
}

bool leadingDecimal(const std::string& text, int& out, bool& whole) {
  scriptCursor cursor(text);
  if (!cursor.decimal(out)) return false;
  whole = cursor.atEnd();
  return true;
}

bool equalsIgnoreCase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace lattix_script
