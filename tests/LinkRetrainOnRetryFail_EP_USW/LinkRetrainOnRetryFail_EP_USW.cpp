// LinkRetrainOnRetryFail_EP_USW: the card Naks ReplayCount+1 completions of the DUT in a row,
// so that its REPLAY_NUM rolls over and it retrains the link.
#include "common/retrain.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_STATUS_t command(test_run& run, vexo_cmd_map_t* map) {
  uint32_t count = 0;
  const VEXO_STATUS_t status = replay_count_command(run, 1, &count);
  if (status == VEXO_STATUS_SUCCESS) *map = matching_command(VEXO_ZAM_CMD_NAK, count, 0x4A, 1);
  return status;
}

void wait(test_run& run) { wait_for_card_port(run, 1000); }

VEXO_STATUS_t judge(test_run& run) { return judge_retrain(run, true); }

}  // namespace

const link_program& LinkRetrainOnRetryFail_EP_USW_program() {
  static const link_program program = retrain_program(command, wait, judge, true);
  return program;
}
