// The run loop of a case: read each request, answer it from the simulation, log both.
#pragma once

#include <cstdint>

#include "hardware_binding.h"
#include "run_settings.h"
#include "vexo.h"

class packetHandler;

namespace fwtool {

struct loop_outcome {
  uint32_t flags = 0;
  bool answered = false;  // at least one request went to the simulation
};

// Serves requests until the traffic ends (a read fails; in an automated run also the
// firmware's stop marker), a completion cannot be sent, or the card aborts.
loop_outcome serve_requests(const run_settings& settings, const hardware_interface& hardware, packetHandler& handler,
                            VEXO_LOG_HANDLE_t main_log, VEXO_LOG_HANDLE_t packet_log);

// The firmware's end-of-enumeration marker: a configuration write to register 0xFC.
bool is_stop_marker(const uint32_t* request);

}  // namespace fwtool
