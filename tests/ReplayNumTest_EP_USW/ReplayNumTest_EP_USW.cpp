// ReplayNumTest_EP_USW: the card Naks ReplayCount completions of the DUT, fewer than make
// REPLAY_NUM roll over: ReplayCount+1 completions, and no error bits in Device Status.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "1", "2"); }

VEXO_STATUS_t command(test_run& run, vexo_cmd_map_t* map) {
  uint32_t count = 0;
  const VEXO_STATUS_t status = replay_count_command(run, 0, &count);
  if (status == VEXO_STATUS_SUCCESS) *map = matching_command(VEXO_ZAM_CMD_NAK, count, 0x4A, 1);
  return status;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  const unsigned int expected = static_cast<unsigned int>(run.dat.replay_count) + 1;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() returned none \n");
    pass = false;
  } else if (found == expected) {
    emit(run, success_line("[%d] Completion TLP(s) from DUT found\n"), expected);
  } else {
    emit(run, failed_line("Expecting [%d] TLPs. Found [%d] in the trace buffer\n"), expected,
         found);
    pass = false;
  }
  pass = check_no_status_bits(
             run, "As expected no bits have been set in device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "ReplayNumTest_EP_USW - PASS \n", "ReplayNumTest_EP_USW - FAIL \n");
}

}  // namespace

const link_program& ReplayNumTest_EP_USW_program() {
  static const link_program program{
      .test_name = "ReplayNumTest_EP_USW",
      .number = number,
      .mode = {},
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(progress::mask,
                                assert_line(VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(
          progress::command, assert_line(VEXO_LOG_ABORT, "FAIL - ProgramZAMCmd() - CORRUPT_LCRC \n")),
      .arm = progress::failing(progress::arm, assert_line(VEXO_LOG_ABORT, "FAIL - ArmZAM() \n")),
      .read = progress::failing(progress::read,
                                assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::disarm,
                                  assert_line(VEXO_LOG_WARNING, "FAIL - DisarmZAM() \n")),
      .trace_read = progress::failing(progress::trace, failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log =
          progress::only_failure(assert_line(VEXO_LOG_ABORT, "LogTBContents() returned failure\n")),
      .judge = judge,
      .uses = dat_use::replay_count,
  };
  return program;
}
