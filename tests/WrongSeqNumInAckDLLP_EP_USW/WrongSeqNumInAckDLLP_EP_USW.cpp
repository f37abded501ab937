// WrongSeqNumInAckDLLP_EP_USW: the card acknowledges the DUT's completion with an Ack whose
// sequence number the DUT never sent; the DUT must report a Data Link Protocol Error:
// ERR_FATAL and Fatal Error Detected.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "common/shared_routines.h"
#include "link_programs.h"

namespace {

using namespace zam;

constexpr uint16_t fatal_detected = 0x0004;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "17", "0"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_DLLP_BOGUS_SEQ_NUM, 1, 0x4A, 1);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = aer_bit_set(run, VEXO_ADVERR_Util_AssertDLProtocolErrorStatus);
  write_text(run.log, pass ? VEXO_LOG_INFO : VEXO_LOG_FAIL,
             pass ? "WrongSeqNumInAckDLLP - Data Link Protocol Error Status in Advanced Error  "
                    "Capabilities Set\n"
                  : "WrongSeqNumInAckDLLP - Data Link Protocol Error Status in Advanced Error  "
                    "Capabilities NOT set\n");
  unsigned int found = 0;
  const VEXO_STATUS_t search = count_completions(run, &found);
  if (search != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "FindTLPHdrInTraceBuf() for VEXO_ZAM_TLP_CPL_D FAILED\n");
    return search;
  }
  unsigned int fatal = 0;
  CountErrFatalMessages(run.card, &fatal);
  if (fatal >= 1) {
    write_text(run.log, VEXO_LOG_SUCCESS,
               "WrongSeqNumberInAckDLLP. DUT sent an ERR_FATAL message as expected.\n");
  } else {
    write_text(run.log, VEXO_LOG_FAIL,
               "WrongSeqNumInAckDLLP. Expecting to see at least one ERR_FATAL message. Found "
               "none.\n");
    pass = false;
  }
  uint16_t status = 0, copy = 0;
  const bool fatal_set = ReadDutDeviceStatus(run.dut, run.log, &status, &copy) ==
                             VEXO_STATUS_SUCCESS &&
                         (status & fatal_detected) != 0;
  if (fatal_set) {
    write_text(run.log, VEXO_LOG_SUCCESS,
               "WrongSeqNumInACKDLLP - Fatal Error Detected bit in Device Status is set as "
               "expected\n");
  } else {
    emit(run,
         failed_line("Expecting only FatalErrorDetected bit to be set. \t\tValue of Device Status "
                     "Register(16-bit)[0x%x] for DUT\n"),
         status);
    pass = false;
  }
  return verdict(run, pass, "WrongSeqNumInAckDLLP - PASS \n", "WrongSeqNumInAckDLLP - FAIL\n");
}

}  // namespace

const link_program& WrongSeqNumInAckDLLP_EP_USW_program() {
  static const link_program program{
      .test_name = "WrongSeqNumInAckDLLP_EP_USW",
      .number = number,
      .mode = {},
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(progress::colon_mask,
                                assert_line(VEXO_LOG_ABORT, "SetConfigMaskTraceBuf() FAILED\n")),
      .command = progress::failing(
          lines(no_line(), progress::command.done),
          assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() for DLLP_BOGUS_SEQ_NUM FAILED\n")),
      .arm = progress::failing(progress::colon_arm, assert_line(VEXO_LOG_ABORT, "ArmZAM FAILED\n")),
      .read = progress::failing(lines(no_line(), progress::read.done),
                                assert_line(VEXO_LOG_ABORT, "DUT ReadConfigSpace() FAILED\n")),
      .disarm = progress::failing(progress::colon_disarm,
                                  assert_line(VEXO_LOG_FAIL, "DisarmZAM() FAILED\n")),
      .trace_read = progress::failing(progress::colon_trace,
                                      failed_line("Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count = progress::only_failure(assert_line(VEXO_LOG_ABORT, "GetBytesInZAMTB() \n")),
      .trace_log = progress::only_failure(assert_line(VEXO_LOG_ABORT, "LogTBContents() \n")),
      .judge = judge,
  };
  return program;
}
