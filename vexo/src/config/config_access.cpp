// Configuration reads and writes through the bound configuration table.
#include "config/config_access.h"

#include "device/device_record.h"
#include "startup/driver_state.h"

namespace vexo {

uint32_t read_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                     uint32_t length, void* buffer) {
  const process_driver_state& state = driver_state();
  if (state.config_table.ReadConfig == nullptr) return 0;
  return state.config_table.ReadConfig(state.driver_context, bus, device, function, offset,
                                       length, buffer);
}

uint32_t write_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, const void* buffer) {
  const process_driver_state& state = driver_state();
  if (state.config_table.WriteConfig == nullptr) return 0;
  // The table's slot takes a plain buffer pointer; a write never changes it.
  return state.config_table.WriteConfig(state.driver_context, bus, device, function, offset,
                                        length, const_cast<void*>(buffer));
}

VEXO_STATUS_t read_device_config(VEXO_DEVICE_HANDLE_t dev, void* buffer, uint32_t offset,
                                 uint32_t* length) {
  if (dev == nullptr || length == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record* record = record_from_handle(dev);
  const uint32_t wanted = *length;
  const uint32_t moved =
      read_config(record->bus, record->device, record->function, offset, wanted, buffer);
  *length = moved;
  return moved == wanted ? VEXO_STATUS_SUCCESS : VEXO_STATUS_PCIE_CONFIG_READ_FAILED;
}

VEXO_STATUS_t write_device_config(VEXO_DEVICE_HANDLE_t dev, const void* buffer,
                                  uint32_t offset, uint32_t* length) {
  if (dev == nullptr || length == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record* record = record_from_handle(dev);
  const uint32_t wanted = *length;
  const uint32_t moved =
      write_config(record->bus, record->device, record->function, offset, wanted, buffer);
  *length = moved;
  return moved == wanted ? VEXO_STATUS_SUCCESS : VEXO_STATUS_PCIE_CONFIG_WRITE_FAILED;
}

}  // namespace vexo
