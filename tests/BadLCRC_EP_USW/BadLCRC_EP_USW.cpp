// BadLCRC_EP_USW: the card corrupts the LCRC of the host's configuration read; the DUT must
// Nak it, report Bad TLP and ERR_COR, and complete the replayed read once.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "3", "2", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_CORRUPT_LCRC, 1, 0x04, 1);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = aer_bit_set(run, VEXO_ADVERR_Util_AssertBadTLPStatus);
  unsigned int found = 0;
  const bool searched = count_completions(run, &found) == VEXO_STATUS_SUCCESS;
  if (!searched) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() returned NO TLP matches\n");
    pass = false;
  } else if (found == 1) {
    write_text(run.log, VEXO_LOG_SUCCESS, "Completion TLP from DUT found\n");
  } else {
    emit(run, failed_line(" Incorrect #[%d] of Completion TLPs found. Expecting exactly one \n"),
         found);
    pass = false;
  }
  const uint8_t nak[8] = {0x10};
  uint8_t naks[6] = {};
  unsigned int count = 1;
  if (FindDLLPTypeDLLPType(run.card, nak, 0, naks, &count) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "FindDLLPTypeDLLPType() returned FAILURE\n");
    pass = false;
  } else if (count == 1) {
    write_text(run.log, VEXO_LOG_SUCCESS, "Found one NAK DLLP as expected\n");
  } else {
    emit(run, failed_line("Expecting [%d] NAK DLLP. Found[%d] NAK DLLP in the trace buffer\n"), 1,
         count);
    pass = false;
  }
  pass = check_err_cor(run, "DUT sent an ERR_COR message as expected.\n",
                       "Expecting one ERROR_COR TLP. Found none.\n") &&
         pass;
  pass = check_only_correctable(run, VEXO_LOG_SUCCESS,
                                "As expected Only correctable Error bit is set in device status "
                                "register for DUT\n") &&
         pass;
  return verdict(run, pass, "BadLCRC_EP_USW - PASS \n", "BadLCRC_EP_USW - FAIL \n");
}

mode_check_texts mode() {
  mode_check_texts texts;
  texts.not_add_in = assert_line(VEXO_LOG_ABORT,
                                 "ZAM is not in Add-in card mode. Please set ZAM in add-in card "
                                 "mode and re-run the test");
  return texts;
}

}  // namespace

const link_program& BadLCRC_EP_USW_program() {
  static const link_program program{
      .test_name = "BadLCRC_EP_USW",
      .number = number,
      .mode = mode(),
      .trace_mask = 0x1531,
      .build_command = command,
      .mask = progress::failing(progress::mask,
                                assert_line(VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(
          progress::command, assert_line(VEXO_LOG_ABORT, "FAIL - ProgramZAMCmd() - CORRUPT_LCRC \n")),
      .arm = progress::failing(progress::arm, assert_line(VEXO_LOG_ABORT, "FAIL - ArmZAM() \n")),
      .read = progress::failing(progress::read,
                                assert_line(VEXO_LOG_ABORT, "FAIL - ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::disarm, assert_line(VEXO_LOG_ABORT, "DisarmZAM() \n")),
      .trace_read = progress::failing(progress::trace,
                                      write_line(VEXO_LOG_ABORT, "Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count = progress::only_failure(
          write_line(VEXO_LOG_ABORT, "Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log = progress::only_failure(no_line(), false),
      .judge = judge,
  };
  return program;
}
