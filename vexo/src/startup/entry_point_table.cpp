// VEXOGetIntf: the versioned table of the framework's own entry points.
#include <cstring>

#include "vexo.h"

namespace {

template <typename Function>
uintptr_t entry_address(Function* function) {
  return reinterpret_cast<uintptr_t>(function);
}

}  // namespace

extern "C" VEXO_API VEXO_STATUS_t VEXOGetIntf(VEXO_INTF_TABLE_t* table) {
  if (table == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  std::memset(table, 0, sizeof *table);
  table->word[VEXO_INTF_VERSION] = VEXO_INTF_TABLE_VERSION;
  table->word[VEXO_INTF_OPEN_VEXO] = entry_address(&OpenVEXO);
  table->word[VEXO_INTF_CLOSE_VEXO] = entry_address(&CloseVEXO);
  // The card, device and configuration-space entries join this table as those calls land
  // in the library; until then their words stay zero.
  return VEXO_STATUS_SUCCESS;
}
