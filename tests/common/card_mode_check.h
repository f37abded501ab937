// The card mode check at the start of every test body.
#pragma once

#include "test_run.h"

namespace zam {

struct mode_check_texts {
  log_line verifying = info_line("Verifying ZAM mode is set to add-in card");
  log_line query_failed = write_line(VEXO_LOG_ABORT, "Unable to query current ZAM mode");
  bool query_failure_ends = true;
  log_line not_add_in = assert_line(
      VEXO_LOG_ABORT, "ZAM is not in Add-in card mode. Please set ZAM in add-in card mode");
  VEXO_STATUS_t not_add_in_status = verdict_failed;
  log_line add_in = info_line("ZAM mode is set to add-in card");
  log_line being_tested = assert_line(VEXO_LOG_INFO, "Assertion(s) being tested here\n");
};

// Returns 0 to go on with the test body; otherwise *end is set and the run ends with the
// returned status.
VEXO_STATUS_t check_card_mode(const test_run& run, const mode_check_texts& texts, bool* end);

}  // namespace zam
