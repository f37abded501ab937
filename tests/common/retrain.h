// The retrain programs' wait for the card's downstream port and their checks.
#pragma once

#include "test_run.h"

namespace zam {

// Waits for the card's downstream port to finish retraining (`milliseconds` once), records
// the outcome in run.retrained, then waits 1000 ms more.
void wait_for_card_port(test_run& run, int milliseconds);

// Polls the card's action count every millisecond until it reads 0, a query fails, or
// 10 seconds (scaled by ZAM_TIME_SCALE, and at most 10000 polls) have passed.
void poll_action_count(test_run& run);

// Rollover status, at least ReplayCount+2 completions, the link retrained; with
// `error_checks` also at least one ERR_COR and "only correctable" Device Status.
VEXO_STATUS_t judge_retrain(test_run& run, bool error_checks);

}  // namespace zam

#include "link_program.h"

namespace zam {

// The description both retrain programs share (name, assertion, texts); they differ in
// their command, their wait and their checks.
link_program retrain_program(VEXO_STATUS_t (*build_command)(test_run&, vexo_cmd_map_t*),
                             void (*after_stimulus)(test_run&), VEXO_STATUS_t (*judge)(test_run&),
                             bool saves_registers);

}  // namespace zam
