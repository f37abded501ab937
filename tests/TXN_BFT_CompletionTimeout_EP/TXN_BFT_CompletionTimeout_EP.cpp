// TXN_BFT_CompletionTimeout_EP: the card delays the completion of a non-posted request the
// DUT sends while the operator's application runs; the DUT must not report a completion
// timeout for delays up to 50.5 ms and must report one at 60.5 ms.
#include <cstdio>
#include <string>

#include "common/operator_prompt.h"
#include "common/shared_routines.h"
#include "platform/clock.h"
#include "txn_programs.h"

namespace {

using namespace zam;

constexpr uint32_t settle_ms = 1000;
constexpr uint16_t correctable_detected = 0x0001;
constexpr uint32_t completion_timeout_bit = 1u << 14;  // AER Uncorrectable Error Status

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_TXN, "5", "3", "2", "0"); }

struct request_kind {
  uint8_t header_byte0;  // Fmt in bits 6:5, Type in bits 4:0
  const char* found;
  const char* not_found;
};

constexpr const char* prefix = "::ZAM Trace buffer search for NP requests. ";
const request_kind non_posted[] = {
    {0x00, "At least one 32-bit Memory read request found::", "No 32-bit Memory read request found::"},
    {0x20, "At least one 64-bit Memory read request found::", "No 64-bit Memory read request found::"},
    {0x01, "At least one 32-bit locked Memory read request found::",
     "No 32-bit LockedMemory read request found::"},
    {0x21, "At least one 64-bit locked Memory read request found::",
     "No 32-bit LockedMemory read request found::"},
    {0x02, "At least one I/O  read request found::", "No I/O read request found::"},
    {0x42, "At least one I/O  write request found::", "No I/O read request found::"},
    {0x04, "At least one Config Read Type 0 request found::", "No Config Read Type 0 Request found::"},
    {0x05, "At least one Config Read Type 1 request found::", "No Config Read Type 1 Request found::"},
    {0x44, "At least one Config Write Type 0 request found::", "No Config Write Type 0 Request found::"},
    {0x45, "At least one Config Write Type 1 request found::", "No Config Write Type 1 Request found::"},
};

void info(const test_run& run, const char* text) { write_text(run.log, VEXO_LOG_INFO, text); }

void verdict_entry(const test_run& run, int32_t level, const char* format, int value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  LogAssert(run.log, level, &run.number, text);
}

// Device Status bit 0, read through the PCI Express capability.
bool correctable_error_detected(const test_run& run) {
  uint16_t status = 0, copy = 0;
  return ReadDutDeviceStatus(run.dut, run.log, &status, &copy) == VEXO_STATUS_SUCCESS &&
         (status & correctable_detected) != 0;
}

void clear_correctable_detected(const test_run& run) {
  PCIE_CAPABILITY_STRUCT_t cap{};
  VEXO_CAP_HANDLE_t handle = nullptr;
  if (GetPCIECapability(run.dut, &cap, &handle) != VEXO_STATUS_SUCCESS) return;
  uint16_t bit = correctable_detected;  // write 1 to clear
  unsigned int length = 2;
  WriteCapability(handle, &bit, 0x0A, &length);
  VEXO_FreeCapabilityHandle(handle);
}

// Each pass judges its own delay: clear what an earlier pass may have left.
void clear_before_pass(const test_run& run) {
  VEXO_ADVERR_INFO_t info{};
  if (VEXO_ADVERR_Util_GetAdvErrorRepCap(run.dut, &info) == VEXO_STATUS_SUCCESS) {
    uint32_t bit = completion_timeout_bit;
    unsigned int length = 4;
    WriteCapability(info.cap, &bit, 0x04, &length);
  }
  if (info.cap != nullptr) VEXO_FreeCapabilityHandle(info.cap);
  clear_correctable_detected(run);
}

vexo_cmd_map_t ack_nak_delay_command() {
  vexo_cmd_map_t command{};
  command.command = VEXO_ZAM_CMD_ACK_NAK_DELAY_LEGAL;
  vexo_cmd_map_set_count(&command, 1);
  command.match_value[0] = 0x04;
  command.match_value[3] = 1;
  const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
  for (int i = 0; i < 4; ++i) command.match_mask[i] = mask[i];
  return command;
}

// The delay in units of 8 ns, from a single-precision microsecond value.
uint32_t delay_units(float microseconds) {
  return static_cast<uint32_t>(microseconds * 1000.0f * 0.125f);
}

// One delay pass: program, arm, let the operator's application run, disarm.
VEXO_STATUS_t delay_tlp_pass(const test_run& run, uint8_t kind, float microseconds) {
  clear_before_pass(run);
  vexo_cmd_map_t command{};
  command.command = VEXO_ZAM_CMD_DELAY_TLP;
  vexo_cmd_map_set_count(&command, 1);
  command.match_value[0] = kind;
  command.parameter = delay_units(microseconds);
  VEXO_STATUS_t status = ProgramZAMCmd(run.card, &command);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "FAIL - ProgramZAMCmd() - VEXO_ZAM_CMD_DELAY_TLP for 40us \n");
    return status;
  }
  status = ArmZAM(run.card, 1);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, "FAIL - ArmZAM() - \n");
    return status;
  }
  ask_operator_ok(
      "Please start the same application as above (Repeat the same steps), then press OK to "
      "continue");
  platform::sleep_ms(settle_ms);
  info(run, "START - DISARMing ZAM\n");
  status = DisarmZAM(run.card);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_WARNING, &run.number, "FAIL - DisarmZAM() \n");
  }
  return status;
}

// The first run: the card delays Ack/Nak of the DUT's configuration read within the legal
// limit while the operator's application runs; the trace shows which requests the DUT sends.
VEXO_STATUS_t record_application_traffic(const test_run& run) {
  info(run, "START - Programming ZAM with trace buffer mask\n");
  VEXO_STATUS_t status = SetConfigMaskTraceBuf(run.card, 0x1524);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, "FAIL - SetConfigMaskTraceBuf()\n");
    return status;
  }
  info(run, "SUCCCESS - Programmed ZAM trace buffer mask\n");
  vexo_cmd_map_t command = ack_nak_delay_command();
  status = ProgramZAMCmd(run.card, &command);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "FAIL - ProgramZAMCmd() - VEXO_ZAM_CMD_ACK_NAK_DELAY_LEGAL \n");
    return status;
  }
  status = ArmZAM(run.card, 1);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, "FAIL - ArmZAM() - \n");
    return status;
  }
  if (!ask_operator_ok("Please start an application the DUT supports, then press OK to continue")) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "FAIL- User did not start an application the DUT supports");
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  info(run, "SUCCESS - Operator started application for DUT\n");
  info(run, "START - Reading VendorID and DeviceID\n");
  uint32_t ids = 0;
  unsigned int length = 4;
  status = ReadConfigSpace(run.dut, &ids, 0, &length);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number, "FAIL - ReadConfigSpace() of DUT \n");
    return status;
  }
  info(run, "SUCCESS - Reading DUT Config space\n");
  platform::sleep_ms(settle_ms);
  info(run, "START - DISARMing ZAM\n");
  status = DisarmZAM(run.card);
  if (status != VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_WARNING, &run.number, "FAIL - DisarmZAM() \n");
    return status;
  }
  info(run, "SUCCESS - DISARMing ZAM\n");
  if (!ask_operator_ok(
          "Please stop the application you started before, then press OK to continue")) {
    LogAssert(run.log, VEXO_LOG_ABORT, &run.number,
              "FAIL- User did not stop the application the DUT supports");
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  info(run, "SUCCESS - DUT Application has been stopped\n");
  info(run, "START - Reading ZAM Trace Buffer\n");
  status = ZAMGetTraceBuffer(run.card);
  if (status != VEXO_STATUS_SUCCESS) {
    info(run, "FAIL - Reading ZAM Trace Buffer\n");
    return status;
  }
  info(run, "SUCCESS - Reading ZAM Trace Buffer\n");
  unsigned int bytes = 0;
  status = GetBytesInZAMTB(run.card, &bytes);
  if (status != VEXO_STATUS_SUCCESS) {
    info(run, "FAIL - Putting ZAM Trace Buffer Data into Logfile\n");
  }
  return status;
}

// The first non-posted request kind in the trace; false when there is none.
bool find_request_kind(const test_run& run, uint8_t* kind) {
  for (const request_kind& k : non_posted) {
    const uint8_t pattern[4] = {k.header_byte0, 0, 0, 0};
    unsigned int count = 0;
    const bool found =
        GetNumTLPMatches(run.card, pattern, VEXO_TLP_MATCH_FMT | VEXO_TLP_MATCH_TYPE, &count) ==
            VEXO_STATUS_SUCCESS &&
        count > 0;
    info(run, (std::string(prefix) + (found ? k.found : k.not_found)).c_str());
    if (found) {
      *kind = k.header_byte0;
      return true;
    }
  }
  return false;
}

VEXO_STATUS_t body(test_run& run) {
  VEXO_STATUS_t status = record_application_traffic(run);
  if (status != VEXO_STATUS_SUCCESS) return status;
  uint8_t kind = 0;
  if (!find_request_kind(run, &kind)) {
    info(run,
         "::Test to Operator. Since the DUT does not implement non-posted requests, cannot "
         "continue the test::");
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }

  // Pass 1, 40 us: no completion timeout.
  status = delay_tlp_pass(run, kind, 40.0f);
  if (status != VEXO_STATUS_SUCCESS) return status;
  VEXO_STATUS_t result = VEXO_ADVERR_Util_AssertCompletionTimeoutStatus(run.dut, run.log, 0, 0);
  if (correctable_error_detected(run)) {
    verdict_entry(run, VEXO_LOG_WARNING,
                  "FAIL - TXN_BFT_CompletionTimeout. Device Status Register[Correctable Error "
                  "detected set] ::for delay of [%d us]\n",
                  40);
    clear_correctable_detected(run);
    return verdict_failed;
  }
  if (result == verdict_failed) {
    verdict_entry(run, VEXO_LOG_FAIL,
                  "FAIL - TXN_BFT_CompletionTimeout. Completion Timeout status was set for delay "
                  "of [%d us]\n",
                  40);
    return verdict_failed;
  }
  if (result == VEXO_STATUS_SUCCESS) {
    verdict_entry(run, VEXO_LOG_SUCCESS,
                  "SUCCESS - TXN_BFT_CompletionTimeout. Completion Timeout status was NOT SET for "
                  "delay of [%d us]\n",
                  40);
  }

  // Pass 2, 10 ms: no completion timeout.
  status = delay_tlp_pass(run, kind, 10000.0f);
  if (status != VEXO_STATUS_SUCCESS) return status;
  result = VEXO_ADVERR_Util_AssertCompletionTimeoutStatus(run.dut, run.log, 0, 0);
  if (correctable_error_detected(run)) {
    verdict_entry(run, VEXO_LOG_WARNING,
                  "FAIL - TXN_BFT_CompletionTimeout. Device Status Register[Correctable Error "
                  "detected set] ::for delay of [%d us]\n",
                  10000);
    clear_correctable_detected(run);
    return verdict_failed;
  }
  if (result == verdict_failed) {
    LogAssert(run.log, VEXO_LOG_WARNING, &run.number,
              "FAIL - Completion Timeout Status was set for delay of [10(ms)] . OK\n");
    return verdict_failed;
  }
  if (result == VEXO_STATUS_SUCCESS) {
    LogAssert(run.log, VEXO_LOG_WARNING, &run.number,
              "SUCCESS - Completion Timeout Status was NOT SET for delay of [10(ms)] . OK\n");
  }

  // The sweep: 20.5 ms to 50.5 ms must not time out, 60.5 ms must.
  bool any_failed = false;
  for (float delay = 20000.0f; delay <= 60000.0f; delay += 10000.0f) {
    const int shown = static_cast<int>(delay);
    const bool last = delay >= 60000.0f;
    status = delay_tlp_pass(run, kind, delay + 500.0f);
    if (status != VEXO_STATUS_SUCCESS) return status;
    if (correctable_error_detected(run)) {
      if (last) {
        verdict_entry(run, VEXO_LOG_SUCCESS,
                      "SUCCESS - TXN_BFT_CompletionTimeout. Device Status Register[Correctable "
                      "Error detected set] ::for delay of [%d us]\n",
                      shown);
        clear_correctable_detected(run);
      } else {
        verdict_entry(run, VEXO_LOG_FAIL,
                      "FAIL - TXN_BFT_CompletionTimeout. Device Status Register[Correctable Error "
                      "detected ] WAS SET for delay of [%d us]\n",
                      shown);
        any_failed = true;
      }
    }
    result = VEXO_ADVERR_Util_AssertCompletionTimeoutStatus(run.dut, run.log, last ? 1 : 0, 1);
    if (result == verdict_failed) {
      verdict_entry(run, VEXO_LOG_FAIL,
                    last ? "FAIL-TXN_BFT_CompletionTimeout. For timeout of[%d(ms)], completion "
                           "timeout status was not set\n"
                         : "FAIL - TXN_BFT_CompletionTimeout. Delay of[%d(ms] but completion "
                           "timeout status was set\n",
                    shown);
      any_failed = true;
    } else if (result == VEXO_STATUS_SUCCESS) {
      verdict_entry(run, VEXO_LOG_SUCCESS,
                    last ? "SUCCESS- TXN_BFT_CompletionTimeout. Completion Timeout status was set "
                           "for delay[%d(ms)]\n"
                         : "SUCCESS- TXN_BFT_CompletionTimeout. Completion timeout status was not "
                           "set for delay of[%d(ms)]\n",
                    shown);
    }
  }
  // Any failed pass fails the run, not only the last one.
  return any_failed ? verdict_failed : result;
}

}  // namespace

const txn_program& TXN_BFT_CompletionTimeout_EP_program() {
  static const txn_program program{"TXN_BFT_CompletionTimeout_EP", number, body};
  return program;
}
