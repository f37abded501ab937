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
  int stop_signal = 0;  // the signal that asked zamsuite to stop while the program ran
  int exit_code = 0;   // when it exited
  int signal = 0;      // when a signal ended it
  double seconds = 0;
};

// Both a failed verdict and a set-up that stopped end with 0x80000006 (exit 6, its low byte),
// so the log tells them apart:
// - passed: exit 0, a complete log whose test started, no FAILED, ABORT or ERROR assertion and
//   no ABORT entry;
// - error: the device was not judged: no start, a time-out, a crash, no log, a log cut off, a
//   test that never started (no test element: the set-up stopped before it), an ABORT entry (a
//   step of the set-up or the test could not be carried out, the lab or the operator was
//   missing), or a non-zero exit other than the failed verdict's without a FAILED assertion;
// - failed: a test that started and ended with the failed verdict's status, whatever level its
//   deciding entry has (some checks log their failure as a WARNING), or with a FAILED assertion.
case_result judge_program(const std::string& name, const process_end& end, const program_log& log);

}  // namespace zamsuite
