// CorruptedDLLPs_EP_USW: the card sends the DUT a DLLP with a bad CRC; the DUT must report
// Bad DLLP and ERR_COR and go on completing requests.
#include "common/dllp_commands.h"
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "15", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = dllp_command(VEXO_ZAM_CMD_CORRUPT_DLLP);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = aer_bit_set(run, VEXO_ADVERR_Util_AssertBadDLLPStatus);
  unsigned int found = 0;
  const VEXO_STATUS_t search = count_completions(run, &found);
  if (search != VEXO_STATUS_SUCCESS) {
    // Nothing can be judged without the completions: the run ends without a verdict.
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() returned none \n");
    return search;
  }
  if (found >= 1) {
    emit(run, success_line("DUT sent [%d] 3DW Completion TLPs. Found at least one\n"), found);
  } else {
    write_text(run.log, VEXO_LOG_FAIL, "Expecting at least one completion TLP. Found none \n");
    pass = false;
  }
  pass = check_err_cor(run, "CorruptedDLLPs. DUT sent at least 1 ERROR_COR message as expected\n",
                       "CorruptedDLLPs. Expecting at least one ERROR_COR message. Found none\n") &&
         pass;
  pass = check_only_correctable(run, VEXO_LOG_SUCCESS,
                                "As expected Only correctable Error bit is set in device status "
                                "register for DUT\n") &&
         pass;
  return verdict(run, pass, "CorruptedDLLPs_EP_USW Test - PASS \n", "CorruptedDLLPs_EP_USW Test\n");
}

mode_check_texts mode() {
  mode_check_texts texts;
  texts.not_add_in = assert_line(
      VEXO_LOG_ABORT,
      "::ZAM is not in Add-in card mode::. Please set ZAM in add-in card mode::");
  texts.being_tested =
      assert_line(VEXO_LOG_INFO, "CorruptedCrcDllps_EP_USW - Assertion being tested here\n");
  return texts;
}

}  // namespace

const link_program& CorruptedDLLPs_EP_USW_program() {
  static const link_program program{
      .test_name = "CorruptedDLLPs_EP_USW",
      .number = number,
      .mode = mode(),
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(progress::colon_mask,
                                assert_line(VEXO_LOG_ABORT, "SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(progress::command,
                                   assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() - NO_ACK_NAK \n")),
      .arm = progress::failing(progress::arm, assert_line(VEXO_LOG_ABORT, "ArmZAM() \n")),
      .read = progress::failing(progress::read,
                                assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::colon_disarm,
                                  assert_line(VEXO_LOG_WARNING, "DisarmZAM() \n")),
      .trace_read = progress::failing(progress::colon_trace, info_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log = progress::only_failure(no_line(), false),
      .judge = judge,
  };
  return program;
}
