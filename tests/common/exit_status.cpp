// The process exit code of a run's 32-bit status.
#include "exit_status.h"

namespace zam {

int exit_code_of(VEXO_STATUS_t status) {
  const int low = static_cast<int>(status & 0xFFu);
  if (status != 0 && low == 0) return 0x80;
  return low;
}

}  // namespace zam
