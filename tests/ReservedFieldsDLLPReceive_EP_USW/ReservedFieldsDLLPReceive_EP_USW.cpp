// ReservedFieldsDLLPReceive_EP_USW: the card sets reserved bits in a DLLP it sends the DUT,
// which must ignore them: one completion and no error bits in Device Status. Logs under
// "ReservedFieldsDLLReceive_EP_USW".
#include "common/dllp_commands.h"
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "4", "1", "2", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = masked_dllp_command(VEXO_ZAM_CMD_DLLP_RESERVED_BITS);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_ABORT, "GetNumTLPMatches failed");
    pass = false;
  } else if (found == 1) {
    write_text(run.log, VEXO_LOG_SUCCESS, "ReservedFieldsDLLPReceive_EP_USW test DUT successful\n");
  } else {
    emit(run,
         failed_line("Expecting [%d] completion TLP in the trace buffer. \t\t   Found [%d] TLPs in "
                     "the trace buffer\n"),
         1, found);
    pass = false;
  }
  pass = check_no_status_bits(
             run, "As expected No bits have been set in device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "ReservedFieldsDLLPReceive - SUCCESS\n",
                 "ReservedFieldsDLLPReceive - FAIL\n");
}

mode_check_texts mode() {
  mode_check_texts texts;
  texts.query_failed = info_line("Unable to query current ZAM mode");
  return texts;
}

}  // namespace

const link_program& ReservedFieldsDLLPReceive_EP_USW_program() {
  static const link_program program{
      .test_name = "ReservedFieldsDLLReceive_EP_USW",
      .number = number,
      .mode = mode(),
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(lines(info_line("Setting the mask for the trace buffer"),
                                           success_line("Setting the mask for the trace buffer")),
                                assert_line(VEXO_LOG_ABORT, "SetConfigMaskTraceBuf() FAILED\n")),
      .command = progress::failing(
          lines(info_line("Programming ZAM with command")),
          assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() for corrupt reserved bits FAILED\n")),
      .arm = progress::failing(lines(info_line("Arming the ZAM")),
                               assert_line(VEXO_LOG_ABORT, "ArmZAM FAILED\n")),
      .read = progress::failing(lines(info_line("Reading the configuration space of the DUT")),
                                assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() FAILED\n")),
      .disarm = progress::failing(lines(info_line("Disarming the ZAM")),
                                  assert_line(VEXO_LOG_ABORT, "DisarmZAM() FAILED\n")),
      .trace_read = progress::only_failure(
          assert_line(VEXO_LOG_ABORT, "Getting trace buffer contents failed")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log = progress::only_failure(failed_line("LogTBContents")),
      .judge = judge,
  };
  return program;
}
