// Bounded reading of script text with the conventions of formatted input: every field
// has a length limit, nothing is read past the end, a failed match consumes nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lattix_script {

class scriptCursor {
 public:
  // Longest field any read returns; the rest stays for the next read.
  static constexpr size_t kMaxField = 255;

  explicit scriptCursor(std::string text);

  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[pos_]; }
  size_t position() const { return pos_; }
  // 1-based line of the current position.
  int lineNumber() const;

  // Skips blanks and line ends (a blank in a format).
  void skipWhitespace();
  // Skips to just after the next line end.
  void skipLine();
  // Matches literal text exactly (a blank in `text` skips any whitespace).
  bool literal(const char* text);
  // Reads up to kMaxField characters not in `stops`; fails on an empty field.
  bool field(std::string& out, const char* stops);
  // Skips whitespace, then reads up to kMaxField non-whitespace characters.
  bool token(std::string& out);
  // Skips whitespace, then reads a decimal integer (saturating at the int range).
  bool decimal(int& out);
  // Reads hexadecimal digits (no prefix) into the low 32 bits of `out`; `wide` tells
  // whether higher bits were dropped. Fails when no digit is there.
  bool hexDigits(uint32_t& out, bool& wide);

 private:
  std::string text_;
  size_t pos_ = 0;
  // The line count up to a position already looked at, so that asking again after moving
  // on counts only the new text.
  mutable size_t countedTo_ = 0;
  mutable int countedLines_ = 1;
};

// Whole-string conversions of fields.
bool parseHex(const std::string& text, uint32_t& out);
bool parseDecimal(const std::string& text, int& out);

// Leading-number conversions of fields, as formatted input reads them: blanks skipped,
// the number taken, whatever follows ignored. Both fail when no number starts the field.
// leadingHex accepts a 0x prefix and keeps the low 32 bits (`wide`: higher bits dropped);
// leadingDecimal saturates at the int range; `whole` tells whether nothing followed.
bool leadingHex(const std::string& text, uint32_t& out, bool& wide);
bool leadingDecimal(const std::string& text, int& out, bool& whole);
bool equalsIgnoreCase(const std::string& a, const char* b);

}  // namespace lattix_script
