// Telling a card's record from any other bridge's.
#include "shared_routines.h"

namespace zam {

bool is_card(VEXO_DEVICE_HANDLE_t record) {
  VEXO_ZAM_OP_MODE_t mode = 0;
  return record != nullptr && QueryZAMMode(record, &mode) != VEXO_STATUS_INVALID_PARAMETER;
}

}  // namespace zam
