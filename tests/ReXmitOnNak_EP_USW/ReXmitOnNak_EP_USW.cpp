// ReXmitOnNak_EP_USW: the card Naks one completion of the DUT, which must send it again:
// two completions, and no error bits in Device Status.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "1", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_NAK, 1, 0x4A, 1);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL,
               "ReXmitOnNAL_EP_USW. Searching for completion TLP in trace buffer failed\n");
    pass = false;
  } else if (found == 2) {
    emit(run,
         success_line("ReXmintOnNAK_EP_USW. Expecting [%d] completion TLPs. Found[%d] completion "
                      "TLPs\n"),
         2, 2);
  } else {
    emit(run,
         failed_line("Expecting [%d] TLPs . \t\t                Found [%d] TLPs in the trace "
                     "buffer \n"),
         2, found);
    pass = false;
  }
  pass = check_no_status_bits(
             run, "As expected No bits have been set in device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "ReXmitOnNAK - PASS \n", "ReXmitOnNAK - FAIL\n");
}

mode_check_texts mode() {
  mode_check_texts texts;
  texts.query_failed = info_line("Unable to query current ZAM mode");
  texts.query_failure_ends = false;  // the later card calls fail instead
  texts.not_add_in = assert_line(VEXO_LOG_ABORT,
                                 "ZAM is not in Add-in card mode. Please set ZAM in add-in card "
                                 "mode and re-run the test");
  return texts;
}

}  // namespace

const link_program& ReXmitOnNak_EP_USW_program() {
  static const link_program program{
      .test_name = "ReXmitOnNak_EP_USW",
      .number = number,
      .mode = mode(),
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(
          progress::colon_mask,
          assert_line(VEXO_LOG_ABORT,
                      "SetConfigMaskTraceBuf() failed. Error in programming trace buffer mask\n")),
      .command = progress::failing(
          progress::colon_command,
          assert_line(VEXO_LOG_ABORT, "ProgramFrw() for NAK ON VEXO_ZAM_TLP_CPL_D FAILED\n")),
      .arm = progress::failing(progress::colon_arm,
                               assert_line(VEXO_LOG_ABORT, "ARMing ZAM FAILED\n")),
      .read = progress::failing(progress::offset_read,
                                assert_line(VEXO_LOG_ABORT, "DUT ReadConfigSpace() FAILED\n")),
      .disarm = progress::failing(progress::colon_disarm,
                                  assert_line(VEXO_LOG_WARNING, "ProgramFrw() for DISARM FAILED\n")),
      .trace_read = progress::failing(progress::colon_trace,
                                      failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count = progress::only_failure(failed_line("Retrieving data from ZAM trace buffer\n"),
                                           false),
      .trace_log = progress::only_failure(no_line(), false),
      .judge = judge,
  };
  return program;
}
