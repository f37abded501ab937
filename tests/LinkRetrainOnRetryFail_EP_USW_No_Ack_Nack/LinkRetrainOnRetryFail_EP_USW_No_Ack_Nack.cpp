// LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack: the card withholds Ack and Nak for ReplayCount+1
// completions of the DUT, so that its replay timer fires until REPLAY_NUM rolls over and it
// retrains the link. Logs under the first retrain program's name and assertion, and leaves
// the DUT's error registers as the run left them.
#include "common/retrain.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_STATUS_t command(test_run& run, vexo_cmd_map_t* map) {
  uint32_t count = 0;
  const VEXO_STATUS_t status = replay_count_command(run, 1, &count);
  if (status == VEXO_STATUS_SUCCESS) {
    *map = matching_command(VEXO_ZAM_CMD_NO_ACK_NAK, count, 0x4A, 1);
  }
  return status;
}

VEXO_STATUS_t judge(test_run& run) { return judge_retrain(run, false); }

}  // namespace

const link_program& LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack_program() {
  static const link_program program = retrain_program(command, poll_action_count, judge, false);
  return program;
}
