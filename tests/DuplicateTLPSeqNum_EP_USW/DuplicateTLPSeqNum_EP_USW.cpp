// DuplicateTLPSeqNum_EP_USW: the card sends the host's configuration read to the DUT twice
// with the same sequence number; the DUT must drop the duplicate: one completion, at most two
// Acks, and no error bits in Device Status.
#include "common/link_checks.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "3", "3", "1"); }

VEXO_STATUS_t command(test_run&, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_DUPLICATE_SEQ_NUM, 1, 0x04, 1);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  const uint8_t ack[8] = {};
  unsigned int acks = 0;
  bool pass = true;
  if (GetNumDLLPMatches(run.card, ack, 0, &acks) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "FindDLLPTypeDLLPType() returned FAILURE\n");
    pass = false;
  } else if (acks <= 2) {
    write_text(run.log, VEXO_LOG_SUCCESS, "Found ACK DLLP(s) as expected\n");
  } else {
    write_text(run.log, VEXO_LOG_FAIL, "Did not find ACK DLLP(s) as expected\n");
    pass = false;
  }
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    write_text(run.log, VEXO_LOG_FAIL, "GetNumTLPMatches() call failed \n");
    pass = false;
  } else if (found == 1) {
    write_text(run.log, VEXO_LOG_SUCCESS, "Completion TLP from DUT found\n");
  } else {
    emit(run, failed_line("Expecting [%d] TLP . Found[%d] TLPs in trace buffer\n"), 1, found);
    pass = false;
  }
  pass = check_no_status_bits(
             run, "As expected No bits have been set in device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "DuplicateTLPSeqNum_EP_USW Test - PASS \n",
                 "DuplicateTLPSeqNum_EP_USW Test - FAIL \n");
}

}  // namespace

const link_program& DuplicateTLPSeqNum_EP_USW_program() {
  static const link_program program{
      .test_name = "DuplicateTLPSeqNum_EP_USW",
      .number = number,
      .mode = {},
      .trace_mask = 0x1531,
      .build_command = command,
      .mask = progress::failing(progress::mask,
                                assert_line(VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()\n")),
      .command = progress::failing(progress::command,
                                   assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() - CORRUPT_LCRC \n")),
      .arm = progress::failing(lines(info_line("ARMing ZAM\n"), progress::arm.done),
                               assert_line(VEXO_LOG_ABORT, "FAIL - ArmZAM() \n")),
      .read = progress::failing(
          lines(info_line("Reading VendorID and DeviceID\n"), progress::read.done),
          assert_line(VEXO_LOG_ABORT, "FAIL - ReadConfigSpace() of DUT \n")),
      .disarm = progress::failing(progress::disarm, assert_line(VEXO_LOG_WARNING, "DisarmZAM() \n")),
      .trace_read = progress::failing(progress::trace,
                                      write_line(VEXO_LOG_ABORT, "Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = true,
      .byte_count =
          progress::only_failure(failed_line("Putting ZAM Trace Buffer Data into Logfile\n")),
      .trace_log = progress::only_failure(no_line(), false),
      .judge = judge,
  };
  return program;
}
