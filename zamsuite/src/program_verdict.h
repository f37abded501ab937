// The verdict of one compliance program from how its process ended and what its log holds.
#pragma once

#include <string>

#include "log_entry.h"
#include "program_log.h"

namespace zamsuite {

struct process_end {
  bool started = true;
  std::string start_error;
  bool timed_out = false;
  unsigned timeout_s = 0;
  int exit_code = 0;   // when it exited
  int signal = 0;      // when a signal ended it
  double seconds = 0;
};

// Passed only when the program exited 0 and its complete log holds no FAILED or ABORT
// assertion. Failed when it exited non-zero (6 is the low byte of 0x80000006) and its log
// holds a FAILED assertion and no ABORT one. Anything else (no start, time-out, crash, a
// non-zero exit without a failed verdict, as when the set-up stops with 0x80000006, no log,
// a log cut off) is an error: the device was not judged.
case_result judge_program(const std::string& name, const process_end& end, const program_log& log);

}  // namespace zamsuite
