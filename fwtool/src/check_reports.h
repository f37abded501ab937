// The enumeration checks of a finished case and their reports in the main log.
#pragma once

#include "run_settings.h"
#include "vexo.h"

class packetHandler;

namespace fwtool {

// Runs the enabled checks in order (bridge windows, enables, ASPM, BAR overlaps, bus
// numbers) and reports each finding; true when any check reported something.
bool run_checks(packetHandler& handler, const run_settings& settings, VEXO_LOG_HANDLE_t log);

}  // namespace fwtool
