// What the reports show of one program or one firmware test case: verdict, entries, trace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zamsuite {

// One entry of a log in the order written: an assertion verdict or a free text.
struct log_entry {
  std::string level;      // SUCCESS, FAILED, ABORT, WARNING, ERROR, INFORMATIONAL, INFO, FAIL, ...
  std::string assertion;  // the assertion name; empty for a free text
  std::string text;
};

enum class verdict { passed, failed, error, not_run };

const char* verdict_name(verdict v);

// One test case of a report: a compliance program or a firmware catalogue case.
struct case_result {
  std::string name;
  verdict outcome = verdict::not_run;
  std::string reason;     // one line: why it did not pass (exit status, time-out, cut log)
  double seconds = 0;
  std::string exit_status;  // as a person reads it: "0", "6", "signal 11", "timed out"
  std::vector<log_entry> entries;
  std::vector<uint32_t> trace_words;  // the trace buffer words the program logged
  std::vector<std::size_t> trace_dump_starts;  // where each trace dump begins, when it logged several
  int trace_action_count = -1;        // -1: none logged
  std::string output;                 // the program's console output (tail)
};

// True for entries that a report lists as failures and errors of a case.
bool is_failure_level(const std::string& level);
bool is_error_level(const std::string& level);

}  // namespace zamsuite
