// Exported configuration-space calls: device reads and writes, raw reads, the MCFG window.
#include <cstring>

#include "config/config_access.h"
#include "startup/driver_state.h"

VEXO_API VEXO_STATUS_t ReadConfigSpace(VEXO_DEVICE_HANDLE_t dev, void* buffer,
                                       unsigned int offset, unsigned int* length) {
  return vexo::read_device_config(dev, buffer, offset, length);
}

VEXO_API VEXO_STATUS_t WriteConfigSpace(VEXO_DEVICE_HANDLE_t dev, void* buffer,
                                        unsigned int offset, unsigned int* length) {
  return vexo::write_device_config(dev, buffer, offset, length);
}

VEXO_API unsigned int VEXO_ReadConfigSpace_Ex(unsigned int bus, unsigned int device,
                                              unsigned int function, unsigned int offset,
                                              unsigned int length, unsigned char* buffer) {
  const vexo::process_driver_state& state = vexo::driver_state();
  if (state.config_table.ReadConfigNoCheck == nullptr) return 0;
  return state.config_table.ReadConfigNoCheck(state.driver_context, bus, device, function,
                                              offset, length, buffer);
}

VEXO_API int QueryAcpiMcfgTableInfo(uint64_t* base, uint8_t* start_bus, uint8_t* end_bus,
                                    uint64_t* length) {
  const vexo::process_driver_state& state = vexo::driver_state();
  if (state.config_table.QueryMcfg == nullptr) return 0;
  if (base == nullptr || start_bus == nullptr || end_bus == nullptr || length == nullptr) {
    return 0;
  }
  return state.config_table.QueryMcfg(state.driver_context, base, start_bus, end_bus, length) ==
                 1
             ? 1
             : 0;
}

VEXO_API VEXO_STATUS_t GetDevConfigSpace(VEXO_DEVICE_HANDLE_t, PCI_CONFIG_SPACE_HEADER_t**) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetDevConfigPtr(VEXO_DEVICE_HANDLE_t, PCI_CONFIG_SPACE_HEADER_t** header) {
  if (header != nullptr) *header = nullptr;
  return VEXO_STATUS_SUCCESS;
}
