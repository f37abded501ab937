// ReplayTimerTest_EP_USW: the card withholds Ack and Nak for one completion of the DUT, whose
// replay timer must fire: the completion twice, an ERR_COR, and only Correctable Error
// Detected in Device Status.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "1", "1"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_NO_ACK_NAK, 1, 0x4A, 1);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() returned none \n");
    pass = false;
  } else if (found == 2) {
    write_text(run.log, VEXO_LOG_SUCCESS, "2 Completion TLPs from DUT found\n");
  } else {
    emit(run, failed_line("Expecting [%d] TLPs . Found[%d] TLPs in the trace buffer\n"), 2, found);
    pass = false;
  }
  pass = check_err_cor(run, "ReplayTimerTest. DUT sent an ERR_COR message as expected.\n",
                       "ReplayTimerTest. Expecting to see at least one ERR_COR message. Found "
                       "none\n") &&
         pass;
  pass = check_only_correctable(run, VEXO_LOG_INFO,
                                "As expected Only correctable Error detected bit has been set in "
                                "device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "REPLAYTIMER_EP_USW Test - PASS \n",
                 "REPLAYTIMER_EP_USW Test - FAIL \n");
}

}  // namespace

const link_program& ReplayTimerTest_EP_USW_program() {
  static const link_program program{
      .test_name = "ReplayTimerTest_EP_USW",
      .number = number,
      .mode = {},
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(progress::colon_mask,
                                assert_line(VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(progress::command,
                                   assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() - NO_ACK_NAK \n")),
      .arm = progress::failing(progress::arm, assert_line(VEXO_LOG_ABORT, "FAIL - ArmZAM() \n")),
      .read = progress::failing(progress::read,
                                assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::colon_disarm,
                                  assert_line(VEXO_LOG_WARNING, "FAIL - DisarmZAM() \n")),
      .trace_read = progress::failing(progress::colon_trace,
                                      failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .judge = judge,
  };
  return program;
}
