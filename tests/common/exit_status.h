// The process exit code of a run's 32-bit status.
#pragma once

#include "vexo.h"

namespace zam {

// A process exit status holds 8 bits: the status's low byte, or 0x80 when a non-zero status
// has a low byte of 0, so that a failure never reads as success.
int exit_code_of(VEXO_STATUS_t status);

}  // namespace zam
