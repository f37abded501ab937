// A run that cannot be judged: the drivers stopped answering or no operator could answer a
// prompt. Such a run ends with a set-up status and one ABORT entry that names the cause,
// never with a verdict on the DUT.
#pragma once

#include <string>

#include "test_run.h"

namespace zam {

// The set-up statuses such a run ends with: the drivers' status, and the status of a
// prompt that was not answered with OK (as a cancelled one).
inline constexpr VEXO_STATUS_t drivers_gone_status = VEXO_STATUS_DRIVER_INITIALIZATION_FAILED;
inline constexpr VEXO_STATUS_t no_operator_status = VEXO_STATUS_INVALID_PARAMETER;

// The ABORT entry's text for the cause, or empty when the run has no such trouble; `status`
// (optional) gets the set-up status. The drivers come first: a lab that went away also
// leaves its virtual operator without an answer.
std::string run_trouble(VEXO_STATUS_t* status = nullptr);

// When the run has such trouble: writes the entry into the log (once per run) and on
// standard output, and returns its set-up status. Otherwise returns `status` unchanged.
VEXO_STATUS_t check_run_trouble(test_run& run, VEXO_STATUS_t status);

// After a failed OpenVEXO: writes an ABORT entry naming the cause the framework gave (the
// settings file, key, driver library or lab), then closes the framework, which may have
// loaded the driver library and opened its drivers before it failed.
void end_failed_startup(VEXO_LOG_HANDLE_t log, const VEXO_TEST_NUM_t* number, VEXO_STATUS_t status);

}  // namespace zam
