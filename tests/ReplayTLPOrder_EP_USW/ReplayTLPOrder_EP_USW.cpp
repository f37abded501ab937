// ReplayTLPOrder_EP_USW: the card withholds Ack and Nak for K completions of a long read of
// the DUT's configuration space, K sized from its Max_Payload_Size and link width so that the
// DUT's replay buffer is exercised: completions, an ERR_COR, only Correctable Error Detected.
#include "ReplayTLPOrder_EP_USW.h"

#include <cstdio>

#include "common/link_checks.h"
#include "common/link_width.h"
#include "common/progress_lines.h"
#include "link_programs.h"

namespace {

using namespace zam;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_DLL, "5", "2", "10", "0"); }

VEXO_STATUS_t command(test_run& run, vexo_cmd_map_t* map) {
  *map = matching_command(VEXO_ZAM_CMD_NO_ACK_NAK, run.read_length / 4, 0x4A, 1);
  return VEXO_STATUS_SUCCESS;
}

// Reads the DUT's payload size and link width, and sizes the read that the card acts on.
VEXO_STATUS_t size_the_read(test_run& run) {
  PCIE_CAPABILITY_STRUCT_t cap{};
  VEXO_CAP_HANDLE_t handle = nullptr;
  const VEXO_STATUS_t found = GetPCIECapability(run.dut, &cap, &handle);
  if (found != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "Unable to determine max payload size and link width of DUT\n");
    return found;
  }
  VEXO_FreeCapabilityHandle(handle);
  // K rests on the link's width; a width no link has (x0: the link is down) fails the DUT.
  const unsigned int width = (cap.link_status >> 4) & 0x3F;
  if (!is_link_width(width)) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "ReplayTLPOrder_EP_USW. Negotiated Link Width of DUT [%u] is not a PCI Express "
                  "link width (x1, x2, x4, x8, x12, x16, x32)\n",
                  width);
    LogAssert(run.log, VEXO_LOG_FAIL, &run.number, text);
    return verdict_failed;
  }
  const int k = replay_tlp_order_count(cap.device_control, cap.link_status, run.dat.increment);
  const unsigned int offset = run.dat.offset;
  if (k < 1 || k > 4095 || offset + 4u * static_cast<unsigned int>(k) > 4096) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "ReplayTLPOrder_EP_USW. The read of [%d] dwords at offset[0x%X] does not fit "
                  "the DUT's 4096-byte configuration space. Check DUTConfig incr and offset in "
                  "the DAT file\n",
                  k, offset);
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, text);
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  run.read_offset = offset;
  run.read_length = 4u * static_cast<unsigned int>(k);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t judge(test_run& run) {
  bool pass = true;
  unsigned int found = 0;
  if (count_completions(run, &found) != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "GetNumTLPMatches() for VEXO_PCIE_TLP_TYPE_CPL_DATA FAILED\n");
    pass = false;
  } else if (found == 0) {
    pass = false;
  }
  pass = check_err_cor(run, "ReplayTLPOrder. DUT sent an ERR_COR message as expected.\n",
                       "ReplayTLPOrder. Expecting to see at least one ERR_COR message. Found "
                       "none.\n") &&
         pass;
  pass = check_only_correctable(run, VEXO_LOG_INFO,
                                "As expected Only correctable Error detected bit has been set in "
                                "device status register for DUT\n") &&
         pass;
  return verdict(run, pass, "ReplayTLPOrder_EP_USW_BR - PASS\n",
                 "ReplayTLPOrder_EP_USW_BR - FAIL\n");
}

mode_check_texts mode() {
  mode_check_texts texts;
  texts.not_add_in = assert_line(
      VEXO_LOG_ABORT, "ZAM is not in Add-in card mode. Please set ZAM in add-in card mode\n");
  return texts;
}

}  // namespace

int replay_tlp_order_count(uint16_t device_control, uint16_t link_status, int16_t increment) {
  static constexpr unsigned int payloads[] = {128, 256, 512, 1024, 2048, 4096};
  const unsigned int payload_code = (device_control >> 5) & 0x7;
  const unsigned int payload = payload_code < 6 ? payloads[payload_code] : 128;
  const unsigned int width = (link_status >> 4) & 0x3F;
  struct row {
    unsigned int payload, width;
    int k;
  };
  static constexpr row rows[] = {{128, 1, 6},   {256, 1, 12},  {512, 1, 24},
                                 {1024, 1, 48}, {2048, 1, 96}, {4096, 1, 192}};
  int k = 3;
  for (const row& r : rows) {
    if (r.payload == payload && r.width == width) k = r.k;
  }
  return k + increment;
}

const link_program& ReplayTLPOrder_EP_USW_program() {
  static const link_program program{
      .test_name = "ReplayTLPOrder_EP_USW",
      .number = number,
      .mode = mode(),
      .trace_mask = 0x1530,
      .build_command = command,
      .mask = progress::failing(
          lines(info_line("START- Setting Trace buffer mask on the ZAM")),
          assert_line(VEXO_LOG_ABORT, "ReplayTLPOrder_EP_USW::SetConfigMaskTraceBuf() FAILED\n")),
      .command = progress::failing(
          lines(info_line("START. Programming the ZAM with CMD_NO_ACK_NACK")),
          assert_line(VEXO_LOG_ABORT, "ProgramZAMCmd() for NAK ON VEXO_ZAM_TLP_CPL_D FAILED\n")),
      .arm = progress::only_failure(assert_line(VEXO_LOG_ABORT, "ArmZAM() FAILED\n")),
      .read = progress::only_failure(
          assert_line(VEXO_LOG_ABORT, "ReadConfigSpace() from DUT FAILED\n")),
      .disarm = progress::only_failure(assert_line(VEXO_LOG_WARNING, "DisarmZAM() FAILED\n")),
      .trace_read = progress::failing(lines(no_line(), success_line("Reading ZAM Trace Buffer\n")),
                                      info_line("FAIL - Reading ZAM Trace Buffer\n")),
      .count_trace_bytes = false,
      .byte_count = {},
      .trace_log = progress::only_failure(assert_line(VEXO_LOG_ABORT, "LogTBContents() \n")),
      .before_mode_check = size_the_read,
      .judge = judge,
      .uses = dat_use::dut_config,
  };
  return program;
}
