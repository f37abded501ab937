// The fixed clean-up at the end of every compliance test.
#pragma once

#include "test_run.h"

namespace zam {

// Restores the DUT's error registers when the set-up saved them (and `restore`), stops the
// test and closes the log, then closes every record the run opened and the framework, and
// frees what the DAT reader allocated.
void clean_up(test_run& run, bool restore);

// Closes a device record and the parent record OpenDevice made for it; clears the handle.
void close_device_and_parent(VEXO_DEVICE_HANDLE_t& dev);

}  // namespace zam
