// The program: start-up, the hardware interface binding, then command line or menus.
#pragma once

namespace fwtool {

// Runs the tool in the current folder; returns the process exit status.
int run_fwtool(int argc, const char* const argv[]);

}  // namespace fwtool
