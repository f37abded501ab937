// A run that cannot be judged: the drivers' trouble and an operator who could not answer.
#include "run_trouble.h"

#include <cstdio>

#include "operator_prompt.h"

namespace zam {

std::string run_trouble(VEXO_STATUS_t* status) {
  char drivers[600] = {};
  if (VEXO_GetSetupProblem(drivers, sizeof drivers) != 0) {
    if (status != nullptr) *status = drivers_gone_status;
    return std::string("ERROR - The drivers stopped answering: ") + drivers +
           ". The test could not be completed; this is no verdict on the DUT\n";
  }
  const std::string unanswered = unanswered_prompt();
  if (!unanswered.empty()) {
    if (status != nullptr) *status = no_operator_status;
    return "ERROR - No operator could answer a prompt: " + unanswered +
           ". The test could not be completed; this is no verdict on the DUT\n";
  }
  return {};
}

VEXO_STATUS_t check_run_trouble(test_run& run, VEXO_STATUS_t status) {
  VEXO_STATUS_t trouble_status = status;
  const std::string text = run_trouble(&trouble_status);
  if (text.empty()) return status;
  if (!run.trouble_reported) {
    run.trouble_reported = true;
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, text.c_str());
    std::printf("%s", text.c_str());
    std::fflush(stdout);
  }
  return trouble_status;
}

void end_failed_startup(VEXO_LOG_HANDLE_t log, const VEXO_TEST_NUM_t* number, VEXO_STATUS_t status) {
  char cause[600] = {};
  if (VEXO_GetSetupProblem(cause, sizeof cause) == 0) {
    std::snprintf(cause, sizeof cause, "%s", VEXOGetErrorDesc(status));
  }
  const std::string text = std::string("ERROR - OpenVEXO() FAILED: ") + cause + "\n";
  LogAssert(log, VEXO_LOG_ABORT, number, text.c_str());
  CloseVEXO(nullptr);
}

}  // namespace zam
