// The fixed clean-up at the end of every compliance test.
#pragma once

#include "test_run.h"

namespace zam {

// Restores the DUT's error registers when the set-up saved them (and `restore`), stops the
// test and closes the log, then closes every record the run opened and the framework, and
// frees what the DAT reader allocated. Returns `status`, or, when the run had passed but its
// log did not keep everything, the log's failure status (said on standard output with the
// log's name): a result that could not be kept is not a pass.
VEXO_STATUS_t clean_up(test_run& run, bool restore, VEXO_STATUS_t status);

// Closes a device record and the parent record OpenDevice made for it; clears the handle.
void close_device_and_parent(VEXO_DEVICE_HANDLE_t& dev);

}  // namespace zam
