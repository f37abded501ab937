// The run loop: requests from the card answered by the engine, altered as the case asks.
#include "request_loop.h"

#include <cstring>

#include "first_response.h"
#include "lattix/packet_handler.h"
#include "packet_trace.h"
#include "platform/clock.h"
#include "run_case.h"

namespace fwtool {
namespace {

constexpr uint32_t status_aborted = 0x8000000Cu;

uint32_t type_of(const uint32_t* request) { return (request[0] >> 24) & 0x1F; }
bool is_write(const uint32_t* request) { return ((request[0] >> 29) & 0x3) == 2; }

}  // namespace

bool is_stop_marker(const uint32_t* request) {
  const uint32_t type = type_of(request);
  // Exactly register 0xFC: 0x1FC, 0x3FC and the like are ordinary registers.
  return (type == 4 || type == 5) && is_write(request) && (request[2] & 0xFFC) == 0xFC;
}

loop_outcome serve_requests(const run_settings& s, const hardware_interface& hardware, packetHandler& handler,
                            VEXO_LOG_HANDLE_t main_log, VEXO_LOG_HANDLE_t packet_log) {
  loop_outcome outcome;
  bool first_request = true;
  uint32_t timeout = s.first_request_timeout_ms;
  uint32_t request[request_buffer_bytes / 4];
  for (;;) {
    // A fresh buffer each time: nothing of an earlier request can pass for this one.
    std::memset(request, 0, sizeof request);
    uint32_t bytes = 0;
    const uint32_t status = hardware.read(sizeof request, timeout, &bytes, request);
    if (status != 0) {
      WriteToLog(main_log, VEXO_LOG_INFO, "Attempt to read from test device timed out.\n");
      if (status == status_aborted) {
        outcome.flags |= flag_read_aborted;
      } else if (first_request) {
        outcome.flags |= flag_read_failed;
      }
      // Once requests have been answered, a read that fails is the end of the traffic.
      return outcome;
    }
    timeout = s.traffic_stop_timeout_ms;
    if (bytes > sizeof request) bytes = sizeof request;
    const uint32_t needed = bytes >= 4 && is_write(request) ? 16 : 12;
    if (bytes < needed) {
      WriteToLog(main_log, VEXO_LOG_INFO, "Packet of %u bytes is too short for a request; skipped.\n", bytes);
      continue;
    }
    if (s.automated && is_stop_marker(request)) return outcome;
    if (type_of(request) >= 0x10) continue;  // messages are neither answered nor logged

    uint32_t* completion = handler.handle(request);
    if (first_request) platform::sleep_ms(s.first_response_delay_ms);
    completion = apply_first_response(s.behaviour, first_request, completion);
    first_request = false;
    outcome.answered = true;
    if (completion != nullptr &&
        hardware.write(completion, completion_length(completion), s.completion_send_timeout_ms) != 0) {
      WriteToLog(main_log, VEXO_LOG_FAIL, "Attempt to send completion to test device failed.\n");
      outcome.flags |= flag_failed;
      releaseCompletion(completion);
      return outcome;
    }
    trace_request(packet_log, request, completion, s.log_type);
    releaseCompletion(completion);
  }
}

}  // namespace fwtool
