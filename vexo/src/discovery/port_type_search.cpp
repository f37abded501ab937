// FindFirst.../FindNext...: the next function whose PCI Express port type is the one asked.
#include "caps/express_capability.h"
#include "discovery/function_scan.h"

namespace vexo {
namespace {

VEXO_STATUS_t find_port_type(function_number start, uint32_t port_type,
                             VEXO_DEVICE_HANDLE_t* dev) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *dev = nullptr;
  VEXO_STATUS_t status = VEXO_STATUS_DEVICE_NOT_FOUND;
  scan_functions(start, [&](const function_number& at, const discovery_buffer& buffer) {
    VEXO_DEVICE_HANDLE_t candidate = nullptr;
    status = make_record_at(at, buffer, &candidate);
    if (status != VEXO_STATUS_SUCCESS) return scan_step::stop;
    PCIE_CAPABILITY_STRUCT_t express{};
    if (read_express_capability(candidate, &express) == VEXO_STATUS_SUCCESS &&
        port_type_of(express) == port_type) {
      *dev = candidate;
      return scan_step::stop;
    }
    free_device_record(candidate);
    status = VEXO_STATUS_DEVICE_NOT_FOUND;
    return scan_step::go_on;
  });
  return status;
}

// The function after the previous record's, carrying into device and bus; false past 254.
bool function_after(VEXO_DEVICE_HANDLE_t previous, function_number* next) {
  const device_record& record = *record_from_handle(previous);
  *next = {record.bus, record.device, record.function + 1u};
  if (next->function == functions_per_device) {
    next->function = 0;
    ++next->device;
  }
  if (next->device == devices_per_bus) {
    next->device = 0;
    ++next->bus;
  }
  return next->bus <= last_scanned_bus;
}

VEXO_STATUS_t find_next_port_type(VEXO_DEVICE_HANDLE_t previous, uint32_t port_type,
                                  VEXO_DEVICE_HANDLE_t* dev) {
  if (dev != nullptr) *dev = nullptr;
  if (previous == nullptr || dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  function_number start;
  if (!function_after(previous, &start)) return VEXO_STATUS_INVALID_PARAMETER;
  return find_port_type(start, port_type, dev);
}

}  // namespace
}  // namespace vexo

#define VEXO_PORT_TYPE_SEARCH(First, Next, type)                                          \
  VEXO_API VEXO_STATUS_t First(VEXO_HANDLE_t, VEXO_DEVICE_HANDLE_t* dev) {                \
    return vexo::find_port_type({}, type, dev);                                           \
  }                                                                                       \
  VEXO_API VEXO_STATUS_t Next(VEXO_DEVICE_HANDLE_t previous, VEXO_DEVICE_HANDLE_t* dev) { \
    return vexo::find_next_port_type(previous, type, dev);                                \
  }

VEXO_PORT_TYPE_SEARCH(FindFirstEndpoint, FindNextEndpoint, VEXO_DEV_ENDPOINT)
VEXO_PORT_TYPE_SEARCH(FindFirstLegacyEndpoint, FindNextLegacyEndpoint, VEXO_DEV_LEGACY_ENDPOINT)
VEXO_PORT_TYPE_SEARCH(FindFirstRootPort, FindNextRootPort, VEXO_DEV_ROOT_PORT)
VEXO_PORT_TYPE_SEARCH(FindFirstSwitch, FindNextSwitch, VEXO_DEV_SWITCH_UPSTREAM_PORT)
VEXO_PORT_TYPE_SEARCH(FindFirstDownSwitch, FindNextDownSwitch, VEXO_DEV_SWITCH_DOWNSTREAM_PORT)
VEXO_PORT_TYPE_SEARCH(FindFirstBridge, FindNextBridge, VEXO_DEV_PCIE_TO_PCI_BRIDGE)
