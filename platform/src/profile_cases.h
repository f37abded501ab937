// Profile files and the values the Windows profile functions read from them: one table that
// both our reader and, on Windows, GetPrivateProfileStringA are checked against.
#pragma once

#include <cstddef>

namespace platform::testing {

struct profile_case {
  const char* name;
  const char* content;  // nullptr: the file does not exist
  const char* section;
  const char* key;
  const char* default_value;
  std::size_t buffer_size;
  const char* expected;
};

inline constexpr profile_case profile_cases[] = {
    {"plain", "[S]\r\nKey=Value\r\n", "S", "Key", "d", 64, "Value"},
    {"lf_only", "[S]\nKey=Value\n", "S", "Key", "d", 64, "Value"},
    {"no_final_break", "[S]\nKey=Value", "S", "Key", "d", 64, "Value"},
    {"section_and_key_ignore_case", "[Sect]\nkEy=v\n", "SECT", "KEY", "d", 64, "v"},
    {"blanks_dropped", "[S]\n  Key  =   spaced value   \n", "S", "Key", "d", 64, "spaced value"},
    {"blanks_in_section_header", "[ S ]\nKey=v\n", "S", "Key", "d", 64, "v"},
    {"double_quotes_dropped", "[S]\nKey=\"quoted \"\n", "S", "Key", "d", 64, "quoted "},
    {"single_quotes_dropped", "[S]\nKey='q'\n", "S", "Key", "d", 64, "q"},
    {"unmatched_quote_kept", "[S]\nKey=\"abc\n", "S", "Key", "d", 64, "\"abc"},
    {"first_key_wins", "[S]\nKey=1\nKey=2\n", "S", "Key", "d", 64, "1"},
    {"key_of_other_section", "[A]\nKey=a\n[B]\nKey=b\n", "B", "Key", "d", 64, "b"},
    {"empty_value", "[S]\nKey=\n", "S", "Key", "d", 64, ""},
    {"equals_in_value", "[S]\nKey=a=b\n", "S", "Key", "d", 64, "a=b"},
    {"missing_key", "[S]\nOther=1\n", "S", "Key", "fallback", 64, "fallback"},
    {"missing_section", "[T]\nKey=1\n", "S", "Key", "fallback", 64, "fallback"},
    {"commented_key", "[S]\n;Key=hidden\n", "S", "Key", "fallback", 64, "fallback"},
    {"missing_file", nullptr, "S", "Key", "fallback", 64, "fallback"},
    {"cut_to_buffer", "[S]\nKey=0123456789\n", "S", "Key", "d", 6, "01234"},
    {"default_cut_to_buffer", "[S]\n", "S", "Key", "abcdef", 4, "abc"},
};

}  // namespace platform::testing
