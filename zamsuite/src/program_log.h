// Reads a compliance program's XML test log, which is written unescaped and may be cut off.
#pragma once

#include <string>

#include "log_entry.h"

namespace zamsuite {

struct program_log {
  bool found = false;     // the file could be read
  bool complete = false;  // the closing root tag was reached
  bool test_started = false;
  std::vector<log_entry> entries;
  std::vector<uint32_t> trace_words;
  std::vector<std::size_t> trace_dump_starts;  // where each trace dump's words begin
  int action_count = -1;
};

// Scans the text tag by tag rather than with an XML parser: the log's texts are written as
// they are and may hold '<', '&' or a whole tag of their own.
program_log parse_program_log(const std::string& text);

program_log read_program_log(const std::string& path);

}  // namespace zamsuite
