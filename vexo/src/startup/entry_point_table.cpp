// VEXOGetIntf: the versioned table of the framework's own entry points.
#include <cstring>

#include "vexo.h"

namespace {

template <typename Function>
uintptr_t entry_address(Function* function) {
  return reinterpret_cast<uintptr_t>(function);
}

// The three overloads of FindDevice that the table offers.
VEXO_STATUS_t (*const find_device_by_bdf)(unsigned char, unsigned char, unsigned char,
                                          VEXO_DEVICE_HANDLE_t*) = &FindDevice;
VEXO_STATUS_t (*const find_device_by_ids)(unsigned short, unsigned short,
                                          VEXO_DEVICE_HANDLE_t*) = &FindDevice;
VEXO_STATUS_t (*const find_device_by_info)(VEXO_HANDLE_t, VEXO_DEVICE_HANDLE_t*, unsigned int,
                                           VEXO_DEVICE_FIND_INFO_t*) = &FindDevice;

}  // namespace

extern "C" VEXO_API VEXO_STATUS_t VEXOGetIntf(VEXO_INTF_TABLE_t* table) {
  if (table == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  std::memset(table, 0, sizeof *table);
  table->word[VEXO_INTF_VERSION] = VEXO_INTF_TABLE_VERSION;
  table->word[VEXO_INTF_OPEN_VEXO] = entry_address(&OpenVEXO);
  table->word[VEXO_INTF_CLOSE_VEXO] = entry_address(&CloseVEXO);
  table->word[VEXO_INTF_CHANGE_ZAM_MODE] = entry_address(&ChangeZAMMode);
  table->word[VEXO_INTF_QUERY_ZAM_MODE] = entry_address(&QueryZAMMode);
  table->word[VEXO_INTF_PROGRAM_ZAM_CMD] = entry_address(&ProgramZAMCmd);
  table->word[VEXO_INTF_ARM_ZAM] = entry_address(&ArmZAM);
  table->word[VEXO_INTF_DISARM_ZAM] = entry_address(&DisarmZAM);
  table->word[VEXO_INTF_OPEN_DEVICE] = entry_address(&OpenDevice);
  table->word[VEXO_INTF_CLOSE_DEVICE] = entry_address(&CloseDevice);
  table->word[VEXO_INTF_READ_CONFIG_SPACE] = entry_address(&ReadConfigSpace);
  table->word[VEXO_INTF_WRITE_CONFIG_SPACE] = entry_address(&WriteConfigSpace);
  table->word[VEXO_INTF_SET_CONFIG_MASK_TRACE_BUF] = entry_address(&SetConfigMaskTraceBuf);
  table->word[VEXO_INTF_FIND_DEVICE_BY_BDF] = entry_address(find_device_by_bdf);
  table->word[VEXO_INTF_FIND_DEVICE_BY_IDS] = entry_address(find_device_by_ids);
  table->word[VEXO_INTF_FIND_DEVICE_BY_INFO] = entry_address(find_device_by_info);
  table->word[VEXO_INTF_WRITE_DEVICE_STATUS_REG] = entry_address(&WriteDeviceStatusReg);
  return VEXO_STATUS_SUCCESS;
}
