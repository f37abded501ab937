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
  table->word[VEXO_INTF_OPEN_DEVICE] = entry_address(&OpenDevice);
  table->word[VEXO_INTF_CLOSE_DEVICE] = entry_address(&CloseDevice);
  table->word[VEXO_INTF_READ_CONFIG_SPACE] = entry_address(&ReadConfigSpace);
  table->word[VEXO_INTF_WRITE_CONFIG_SPACE] = entry_address(&WriteConfigSpace);
  table->word[VEXO_INTF_FIND_DEVICE_BY_BDF] = entry_address(
      static_cast<VEXO_STATUS_t (*)(unsigned char, unsigned char, unsigned char,
                                    VEXO_DEVICE_HANDLE_t*)>(&FindDevice));
  table->word[VEXO_INTF_FIND_DEVICE_BY_IDS] = entry_address(
      static_cast<VEXO_STATUS_t (*)(unsigned short, unsigned short, VEXO_DEVICE_HANDLE_t*)>(
          &FindDevice));
  table->word[VEXO_INTF_FIND_DEVICE_BY_INFO] = entry_address(
      static_cast<VEXO_STATUS_t (*)(VEXO_HANDLE_t, VEXO_DEVICE_HANDLE_t*, unsigned int,
                                    VEXO_DEVICE_FIND_INFO_t*)>(&FindDevice));
  table->word[VEXO_INTF_WRITE_DEVICE_STATUS_REG] = entry_address(&WriteDeviceStatusReg);
  // The card entries join this table as those calls land in the library; until then their
  // words stay zero.
  return VEXO_STATUS_SUCCESS;
}
