// The bridge above a device (VEXO_GetUpStreamPort) and the parent that OpenDevice stores.
#include "caps/express_capability.h"
#include "caps/pci_registers.h"
#include "discovery/function_scan.h"

namespace vexo {
namespace {

// A new record for the first bridge whose secondary bus is the device's bus; null if none.
VEXO_DEVICE_HANDLE_t upstream_bridge(VEXO_DEVICE_HANDLE_t dev) {
  const device_record& record = *record_from_handle(dev);
  const function_number own{record.bus, record.device, record.function};
  VEXO_DEVICE_HANDLE_t bridge = nullptr;
  scan_functions({}, [&](const function_number& at, const discovery_buffer& buffer) {
    if (at == own) return scan_step::go_on;
    if ((buffer[reg::header_type] & reg::header_type_layout_mask) != reg::header_type_bridge ||
        buffer[reg::secondary_bus] != record.bus) {
      return scan_step::go_on;
    }
    if (make_record_at(at, buffer, &bridge) != VEXO_STATUS_SUCCESS) bridge = nullptr;
    return scan_step::stop;
  });
  return bridge;
}

// The parent by port type: the bridge above for endpoints, upstream ports and PCI Express to
// PCI bridges; the port above the switch for a downstream port; none otherwise.
VEXO_DEVICE_HANDLE_t parent_of(VEXO_DEVICE_HANDLE_t dev) {
  PCIE_CAPABILITY_STRUCT_t express{};
  if (read_express_capability(dev, &express) != VEXO_STATUS_SUCCESS) return nullptr;
  switch (port_type_of(express)) {
    case VEXO_DEV_ENDPOINT:
    case VEXO_DEV_LEGACY_ENDPOINT:
    case VEXO_DEV_SWITCH_UPSTREAM_PORT:
    case VEXO_DEV_PCIE_TO_PCI_BRIDGE:
      return upstream_bridge(dev);
    case VEXO_DEV_SWITCH_DOWNSTREAM_PORT: {
      VEXO_DEVICE_HANDLE_t switch_port = upstream_bridge(dev);
      if (switch_port == nullptr) return nullptr;
      VEXO_DEVICE_HANDLE_t above = upstream_bridge(switch_port);
      free_device_record(switch_port);
      return above;
    }
    default:
      return nullptr;
  }
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_DEVICE_HANDLE_t VEXO_GetUpStreamPort(VEXO_DEVICE_HANDLE_t dev) {
  return dev == nullptr ? nullptr : vexo::upstream_bridge(dev);
}

VEXO_API VEXO_STATUS_t OpenDevice(VEXO_DEVICE_HANDLE_t dev, VEXO_ACCESS_MODE_t) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  vexo::device_record* record = vexo::record_from_handle(dev);
  record->parent = vexo::record_from_handle(vexo::parent_of(dev));
  record->opened = 1;
  return VEXO_STATUS_SUCCESS;
}
