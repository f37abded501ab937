// Fuzz target: fwtool's request loop fed arbitrary packets as configuration requests from
// the system under test, answered by the engine (a switch port with an endpoint below), then
// the enumeration checks of the case.
// Input: a settings byte (bits 0-2 the first-response behaviour, bit 3 automated, bit 4 raw
// packet trace, bit 5 the final register dump), then chunks of a control byte, a length
// byte and that many bytes. Control bits 0-1: 1 the read is aborted, 2 it fails, else it
// returns the bytes (and claims `length` of them); bit 2: the completion send fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check_reports.h"
#include "hardware_binding.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/topology.h"
#include "packet_trace.h"
#include "request_loop.h"

namespace {

constexpr uint32_t status_read_failed = 0x80000009u;
constexpr uint32_t status_aborted = 0x8000000Cu;
constexpr uint32_t status_write_failed = 0x80000008u;

// The packets still to hand to the loop, and whether the next completion send fails.
struct traffic {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  bool fail_send = false;
} input;

uint32_t read_packet(uint32_t buffer_size, uint32_t, uint32_t* bytes_read, uint32_t* buffer) {
  *bytes_read = 0;
  if (input.at + 2 > input.size) return status_read_failed;  // the traffic has ended
  const uint8_t control = input.data[input.at];
  size_t length = input.data[input.at + 1];
  input.at += 2;
  if (length > input.size - input.at) length = input.size - input.at;
  const uint8_t* bytes = input.data + input.at;
  input.at += length;
  input.fail_send = (control & 4) != 0;
  if ((control & 3) == 1) return status_aborted;
  if ((control & 3) == 2) return status_read_failed;
  std::memcpy(buffer, bytes, length < buffer_size ? length : buffer_size);
  *bytes_read = static_cast<uint32_t>(length);  // a library may claim more than fits
  return 0;
}

uint32_t write_completion(const uint32_t* completion, uint32_t length, uint32_t) {
  // Completions sent are whole: 12 bytes, or 16 with their data word.
  if (completion == nullptr || (length != 12 && length != 16)) std::abort();
  return input.fail_send ? status_write_failed : 0;
}

VEXO_LOG_HANDLE_t discarding_log() {
  VEXO_LOG_HANDLE_t log = nullptr;
  if (CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, "/dev/null", 0) != VEXO_STATUS_SUCCESS) std::abort();
  return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static VEXO_LOG_HANDLE_t main_log = discarding_log();
  static VEXO_LOG_HANDLE_t packet_log = discarding_log();
  if (size == 0) return 0;
  fwtool::run_settings settings;
  settings.behaviour = data[0] & 7;
  settings.automated = (data[0] & 8) != 0;
  settings.log_type = (data[0] & 16) != 0 ? 1 : 0;
  settings.first_response_delay_ms = 0;
  input = traffic{data, size, 1, false};

  // A fresh hierarchy for every input, so that each run repeats exactly.
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* built = nullptr;
  packetHandler* handler = nullptr;
  if (!scriptParser(ZAM_FUZZ_FWTOOL_SCRIPT, devices, connections, count, built, handler)) {
    std::fprintf(stderr, "request_loop_fuzz: cannot build %s\n", ZAM_FUZZ_FWTOOL_SCRIPT);
    std::abort();
  }
  fwtool::hardware_interface hardware;
  hardware.use(nullptr, nullptr, read_packet, write_completion);
  const fwtool::loop_outcome outcome = fwtool::serve_requests(settings, hardware, *handler, main_log, packet_log);
  if (outcome.answered) fwtool::run_checks(*handler, settings, main_log);
  if (data[0] & 32) fwtool::dump_final_registers(packet_log, *handler);
  delete handler;
  delete built;
  return 0;
}
