// TXN_BFT_RequestCompletion_EP: three phases check the Completer ID of a completion the DUT
// sends, the Unsupported Request completions it returns for functions it does not implement,
// and the Requester ID of a request it sends while the operator's application runs.
#include <cstdio>
#include <functional>

#include "common/operator_prompt.h"
#include "common/run_trouble.h"
#include "common/shared_routines.h"
#include "platform/clock.h"
#include "txn_programs.h"

namespace {

using namespace zam;

constexpr uint16_t unsupported_request_detected = 0x0008;

VEXO_TEST_NUM_t number() { return make_test_number(VEXO_TEST_CATEGORY_TXN, "2", "7", "9", "0"); }

void info(const test_run& run, const char* text) { write_text(run.log, VEXO_LOG_INFO, text); }
void entry(const test_run& run, int32_t level, const char* text) {
  LogAssert(run.log, level, &run.number, text);
}

struct dut_address {
  unsigned char bus = 0, device = 0, function = 0;
};

dut_address address_of(const test_run& run) {
  dut_address a;
  GetBusNumber(run.dut, &a.bus);
  GetDeviceNumber(run.dut, &a.device);
  GetFunctionNumber(run.dut, &a.function);
  return a;
}

// Bytes 4 and 5 of a TLP header: the completer ID of a completion, the requester ID of a
// request.
bool id_matches(const uint8_t (&header)[16], const dut_address& dut, bool with_function) {
  return header[4] == dut.bus && (header[5] >> 3) == dut.device &&
         (!with_function || (header[5] & 0x7) == dut.function);
}

vexo_cmd_map_t delay_legal_command(uint8_t header_byte0) {
  vexo_cmd_map_t command{};
  command.command = VEXO_ZAM_CMD_ACK_NAK_DELAY_LEGAL;
  vexo_cmd_map_set_count(&command, 1);
  command.match_value[0] = header_byte0;
  command.match_value[3] = 1;
  const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
  for (int i = 0; i < 4; ++i) command.match_mask[i] = mask[i];
  return command;
}

struct trace_log_texts {
  const char* start;
  const char* done;
};
constexpr trace_log_texts write_completion_texts{
    "TXN_BFT_RequestCompletion. START. Logging contents of trace buffer for completion of Config "
    "Type 0 Write\n",
    "TXN_BFT_RequestCompletion. DONE . Logging contents of trace buffer for completion of Config "
    "Type 0 Write\n"};
constexpr trace_log_texts request_texts{
    "TXN_BFT_RequestCompletion. START. Logging contents of trace buffer for DUT traffic "
    "(Requests)\n",
    "TXN_BFT_RequestCompletion. DONE . Logging contents of trace buffer for DUT Traffic( Requests "
    ")\n"};

// Programs the card, arms it around `traffic`, disarms it and logs the trace. False when a
// card call failed (the failure is logged).
bool capture_window(const test_run& run, unsigned int mask, uint8_t match,
                    const std::function<bool()>& before_arm, const std::function<void()>& traffic,
                    const trace_log_texts& texts) {
  if (SetConfigMaskTraceBuf(run.card, mask) != VEXO_STATUS_SUCCESS) {
    entry(run, VEXO_LOG_ABORT, "FAIL - SetConfigMaskTraceBuf()- TXN_BFT_RequestCompletion_EP\n");
    return false;
  }
  info(run, "SUCCCESS - Programmed ZAM trace buffer mask\n");
  if (!before_arm()) return false;
  vexo_cmd_map_t command = delay_legal_command(match);
  if (ProgramZAMCmd(run.card, &command) != VEXO_STATUS_SUCCESS) {
    entry(run, VEXO_LOG_ABORT, "FAIL - ProgramZAMCmd() - TXN_BFT_RequestCompletion_EP \n");
    return false;
  }
  info(run, "SUCCESS - Programming ZAM with command\n");
  info(run, "START - ARMing ZAM\n");
  if (ArmZAM(run.card, 1) != VEXO_STATUS_SUCCESS) {
    entry(run, VEXO_LOG_ABORT, "FAIL - ArmZAM()-TXN_BFT_RequestCompletion_EP \n");
    return false;
  }
  traffic();
  info(run, "START: DISARMing ZAM\n");
  if (DisarmZAM(run.card) != VEXO_STATUS_SUCCESS) {
    entry(run, VEXO_LOG_WARNING, "ProgramFrw() for DISARM FAILED\n");
    return false;
  }
  info(run, "SUCCESS: DISARMing ZAM\n");
  info(run, "START : Reading ZAM Trace Buffer\n");
  unsigned int bytes = 0;
  if (ZAMGetTraceBuffer(run.card) != VEXO_STATUS_SUCCESS ||
      GetBytesInZAMTB(run.card, &bytes) != VEXO_STATUS_SUCCESS) {
    info(run, "FAILURE : Reading ZAM Trace Buffer\n");
    return false;
  }
  info(run, "SUCCESS : Reading ZAM Trace Buffer\n");
  info(run, texts.start);
  LogTBContents(run.log, run.card, &bytes);
  info(run, texts.done);
  return true;
}

void search_failed(const test_run& run) {
  entry(run, VEXO_LOG_ABORT,
        "TXN_BFT_RequestCompletion_EP. Searching for completion TLP in trace buffer failed\n");
}

// The number of TLPs of a Fmt/Type in the trace; false when the search failed.
bool count_kind(const test_run& run, uint8_t header_byte0, unsigned int* count) {
  const uint8_t pattern[4] = {header_byte0, 0, 0, 0};
  *count = 0;
  return GetNumTLPMatches(run.card, pattern, VEXO_TLP_MATCH_FMT | VEXO_TLP_MATCH_TYPE, count) ==
         VEXO_STATUS_SUCCESS;
}

// Phase 1: the completion of the host's configuration write names the DUT as completer.
int completer_of_configuration_write(const test_run& run, const dut_address& dut) {
  info(run,
       "START - Programming ZAM to capture TLP headers for Verify Config Write(Type 0) "
       "completion \n");
  uint32_t command_status = 0;
  bool read = false;
  const bool captured = capture_window(
      run, 0x1524, 0x0A,
      [&] {
        unsigned int length = 4;
        read = ReadConfigSpace(run.dut, &command_status, 4, &length) == VEXO_STATUS_SUCCESS;
        if (!read) {
          entry(run, VEXO_LOG_ABORT,
                "FAIL - ReadConfigSpace() of DUT - TXN_BFT_RequestCompletion_EP\n");
          return false;
        }
        info(run, "START - Programming ZAM with command ack nack delay legal\n");
        return true;
      },
      [&] {
        unsigned int length = 4;
        WriteConfigSpace(run.dut, &command_status, 4, &length);
      },
      write_completion_texts);
  if (!captured) return 0;
  unsigned int count = 0;
  uint8_t header[16] = {};
  if (!count_kind(run, 0x0A, &count) || count == 0 ||
      VEXO_ZAM_TB_GetTLPByIndex(run.card, header, 16, 0) != VEXO_STATUS_SUCCESS) {
    search_failed(run);
    return 0;
  }
  if (id_matches(header, dut, true)) {
    entry(run, VEXO_LOG_SUCCESS,
          "SUCCESS - Phase 1. TXN_BFT_RequestCompletion_EP. DUT BDF in Completion Header matches "
          "the values in the request\n");
    return 1;
  }
  entry(run, VEXO_LOG_FAIL,
        "FAILED - Phase 1. TXN_BFT_RequestCompletion_EP. DUT BDF in Completion Header does not "
        "match the values in the request\n");
  return 0;
}

// Phase 2: reads of the eight functions at the DUT's device; those it does not implement
// must be completed with Unsupported Request, and it must set Unsupported Request Detected.
int unsupported_requests(const test_run& run, const dut_address& dut) {
  info(run, "START - Programming ZAM to capture TLP headers for TLP Requests\n");
  const bool captured = capture_window(
      run, 0x1530, 0x04, [] { return true; },
      [&] {
        info(run, "START: Issuing a config read request to the DUT\n");
        for (unsigned int f = 0; f < 8; ++f) {
          unsigned char value[4] = {};
          VEXO_ReadConfigSpace_Ex(dut.bus, dut.device, f, 0, 4, value);
          const unsigned int word = value[0] | (value[1] << 8) | (value[2] << 16) |
                                    (static_cast<unsigned int>(value[3]) << 24);
          std::printf("dw_0 for BDF[%d,%d,%d] is 0x%x\n", dut.bus, dut.device, f, word);
        }
        std::fflush(stdout);
      },
      request_texts);
  if (!captured) return 0;
  unsigned int completions = 0;
  if (!count_kind(run, 0x4A, &completions) || completions == 0) {
    search_failed(run);
    return 0;
  }
  std::printf(
      "TXN_BFT_RequestCompletion. Verify_UR(). Found[%d] number of TLP completions in the trace "
      "buffer\n",
      completions);
  unsigned int unsupported = 0;
  bool ids_match = true;
  uint8_t header[16] = {};
  for (int i = 0; VEXO_ZAM_TB_GetTLPByIndex(run.card, header, 16, i) == VEXO_STATUS_SUCCESS; ++i) {
    const unsigned int fmt = (header[0] >> 5) & 0x3;
    const unsigned int type = header[0] & 0x1F;
    if ((fmt != 0 && fmt != 2) || type != 0x0A) {
      std::printf("TXN_BFT_RequestCompletion. TLP index[%d] completer id is invalid\n", i);
      continue;
    }
    if (id_matches(header, dut, false)) {
      info(run,
           "TXN_BFT_RequestCompletion_EP. DUT BDF in Completion Header matches the values in the "
           "request\n");
    } else {
      entry(run, VEXO_LOG_ABORT,
            "TXN_BFT_RequestCompletion_EP. BDF in Completer ID does not match the BDF in the "
            "request\n");
      ids_match = false;  // a wrong completer fails the phase
    }
    if (((header[6] >> 5) & 0x7) == 1) ++unsupported;
  }
  std::fflush(stdout);
  if (unsupported >= 1) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "SUCCESS - Phase 2. TXN_BFT_RequestCompletion. Verify_UR(). Found [%d] "
                  "Unsupported Request completions\n",
                  unsupported);
    entry(run, VEXO_LOG_SUCCESS, text);
  }
  uint16_t status = 0, copy = 0;
  const bool detected = ReadDutDeviceStatus(run.dut, run.log, &status, &copy) ==
                            VEXO_STATUS_SUCCESS &&
                        (status & unsupported_request_detected) != 0;
  if (detected) {
    info(run,
         "As expected, Unsupported Request Detected bit is set in the device status register\n");
  } else {
    emit(run,
         failed_line("FAIL- Expecting UnsupportedRequest bit to be set. \t\tValue of Device Status "
                     "Register(16-bit)[0x%x] for DUT\n"),
         status);
  }
  return unsupported >= 1 && detected && ids_match ? 1 : 0;
}

// Phase 3: a request the DUT sends while the operator's application runs names the DUT as
// requester. Kinds by Fmt and Type; configuration write type 0 is searched twice.
constexpr uint8_t request_kinds[] = {0x00, 0x20, 0x01, 0x21, 0x40, 0x60,
                                     0x02, 0x42, 0x04, 0x05, 0x44, 0x44};

int requester_of_application_traffic(const test_run& run, const dut_address& dut) {
  char prompt[200];
  std::snprintf(prompt, sizeof prompt,
                "Please start an application that the DUT at BDF(%d, %d, %d) supports. \n(Please "
                "ensure that this application supports memory traffic)",
                dut.bus, dut.device, dut.function);
  if (!ask_operator_ok(prompt)) {
    info(run, "TXN_BFT_RequestCompletion. No app has been started. Exiting\n");
    return 0;
  }
  int result = 0;
  for (uint8_t kind : request_kinds) {
    info(run, "START - Programming ZAM to capture TLP headers for TLP Requests\n");
    if (!capture_window(run, 0x1524, 0x04, [] { return true; }, [] { platform::sleep_ms(1000); },
                        request_texts)) {
      break;
    }
    unsigned int count = 0;
    if (!count_kind(run, kind, &count)) {
      search_failed(run);
      break;
    }
    if (count == 0) continue;
    uint8_t header[16] = {};
    if (VEXO_ZAM_TB_GetTLPByIndex(run.card, header, 16, 0) != VEXO_STATUS_SUCCESS) {
      search_failed(run);
      break;
    }
    if (id_matches(header, dut, true)) {
      entry(run, VEXO_LOG_SUCCESS,
            "SUCCESS - Phase 3. TXN_BFT_RequestCompletion_EP. DUT BDF in Completion Header "
            "matches the values in the request\n");
      result = 1;
    } else {
      entry(run, VEXO_LOG_ABORT,
            "FAIL - Phase 3. TXN_BFT_RequestCompletion_EP. DUT BDF in Completion Header does not "
            "match the values in the request\n");
    }
    break;
  }
  ask_operator_ok("Please stop the application for the DUT (if not already done)");
  return result;
}

VEXO_STATUS_t body(test_run& run) {
  const dut_address dut = address_of(run);
  const int first = completer_of_configuration_write(run, dut);
  const int second = unsupported_requests(run, dut);
  const int third = requester_of_application_traffic(run, dut);
  // Phases that could not be run (no operator, no drivers) give no verdict.
  if (!run_trouble().empty()) return check_run_trouble(run, verdict_failed);
  if (first == 1 && second == 1 && third == 1) {
    entry(run, VEXO_LOG_SUCCESS,
          "SUCCESS - TXN_BFT_RequestCompletion. All 3 phases of the test passed successfully\n");
    return VEXO_STATUS_SUCCESS;
  }
  entry(run, VEXO_LOG_FAIL,
        "FAILURE - TXN_BFT_RequestCompletion. At least one of the  3 phases of the test failed. \n");
  return verdict_failed;
}

}  // namespace

const txn_program& TXN_BFT_RequestCompletion_EP_program() {
  static const txn_program program{"TXN_BFT_RequestCompletion_EP", number, body};
  return program;
}
