// UndefinedDLLPEncoding_EP_USW: the card sends the DUT a DLLP of an undefined type, which the
// DUT must discard (reporting ERR_COR) while the exchange goes on.
#include "common/dllp_commands.h"
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "16", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = masked_dllp_command(VEXO_ZAM_CMD_UNDEFINED_DLLP);
  map->match_value[0] = 0x01;
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches for VEXO_PCIE_TLP_TYPE_CFG_READ_0 FAILED\n");
    pass = false;
  } else if (found == 2) {
    emit(run,
         success_line("UndefinedDLLP_Encoding. Expecting [%d] completion TLPs. Found [%d] "
                      "completion TLPs\n"),
         2, 2);
  } else {
    emit(run, failed_line("Expecting [%d] TLPs . Found [%d] TLPs in the trace buffer\n"), 2, found);
    pass = false;
  }
  pass = check_err_cor(run, "UndefinedDLLP_Encoding. DUT sent an ERR_COR message as expected.\n",
                       "UndefinedDLLP_Encoding. Expecting to see at least one ERR_COR message. "
                       "Found none. \n") &&
         pass;
  pass = check_only_correctable(run, VEXO_LOG_SUCCESS,
                                "As expected Only Correctable Error detected bit been set in "
                                "device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "UndefinedDLLP_Encoding - SUCCESS\n", "UndefinedLLP_Encoding - FAIL\n");
}

}  // namespace

const link_program& UndefinedDLLPEncoding_EP_USW_program() {
  static const link_program program{
      .test_name = "UndefinedDLLPEncoding_EP_USW",
      .number = number,
      .mode = {},
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(progress::colon_mask,
                                assert_line(VEXO_LOG_ABORT, "SetConfigMaskTraceBuf() \n")),
      .command = progress::failing(
          lines(progress::colon_command.start,
                     success_line("SUCCESS: Programming ZAM with command\n")),
          assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() for CORRUPT_LCRC FAILED\n")),
      .arm = progress::failing(
          lines(progress::colon_arm.start, success_line("SUCCESS: ARMing ZAM\n")),
          assert_line(VEXO_LOG_ABORT, "ArmZAM() FAILED\n")),
      .read = progress::failing(progress::offset_read,
                                assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() FAILED\n")),
      .disarm = progress::failing(progress::colon_disarm,
                                  assert_line(VEXO_LOG_WARNING, "DisarmZAM() FAILED\n")),
      .trace_read = progress::failing(progress::colon_trace,
                                      failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count = progress::only_failure(failed_line("GetBytesInZAMTB()\n")),
      .trace_log = progress::only_failure(assert_line(VEXO_LOG_ABORT, "LogTBContents() \n")),
      .judge = judge,
  };
  return program;
}
