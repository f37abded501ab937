// Writing a step's log line and building assertion identifiers.
#include "test_run.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zam {

VEXO_TEST_NUM_t make_test_number(uint32_t category, const char* part1, const char* part2,
                                 const char* part3, const char* part4) {
  VEXO_TEST_NUM_t number{};
  number.category = category;
  std::snprintf(number.part1, sizeof number.part1, "%s", part1);
  std::snprintf(number.part2, sizeof number.part2, "%s", part2);
  std::snprintf(number.part3, sizeof number.part3, "%s", part3);
  std::snprintf(number.part4, sizeof number.part4, "%s", part4);
  return number;
}

void write_text(VEXO_LOG_HANDLE_t log, int32_t level, const char* text) {
  WriteToLog(log, level, "%s", text);
}

void emit(const test_run& run, const log_line& line, ...) {
  if (line.what == log_line::kind::none || line.text == nullptr) return;
  char text[2048];
  va_list args;
  va_start(args, line);
  std::vsnprintf(text, sizeof text, line.text, args);
  va_end(args);
  if (line.what == log_line::kind::write) {
    write_text(run.log, line.level, text);
  } else {
    LogAssert(run.log, line.level, &run.number, text);
  }
}

}  // namespace zam
