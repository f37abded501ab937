// Reading the fields of a device record, its parent and port type, and freeing it.
#include "caps/express_capability.h"
#include "caps/pci_registers.h"
#include "device/device_record.h"
#include "trace/trace_copy.h"

namespace vexo {
namespace {

template <typename Value, typename Field>
VEXO_STATUS_t copy_field(VEXO_DEVICE_HANDLE_t dev, Value* out, Field field) {
  if (out == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  if (dev == nullptr) {
    *out = 0;
    return VEXO_STATUS_INVALID_DEVICE_HANDLE;
  }
  *out = field(*record_from_handle(dev));
  return VEXO_STATUS_SUCCESS;
}

// Takes a record out of the framework handle's found-device list, so the list never holds a
// freed record.
void unlink_from_list(device_record& record) {
  auto* list = static_cast<item_list*>(record.link.owner);
  if (list == nullptr || record.link.next == nullptr) return;
  record.link.previous->next = record.link.next;
  record.link.next->previous = record.link.previous;
  --list->count;
  record.link = list_item{};
}

}  // namespace
}  // namespace vexo

using vexo::device_record;

VEXO_API VEXO_STATUS_t EnumerateDevice(VEXO_HANDLE_t, VEXO_ENUM_METHOD_t, VEXO_ENUM_STOP_POINT_t,
                                       unsigned short, unsigned int) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t CloseDevice(VEXO_DEVICE_HANDLE_t dev) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  vexo::unlink_from_list(*vexo::record_from_handle(dev));
  // The record owns its trace copy, and nothing can reach the copy once the record is gone:
  // free it here rather than lose it (every card record closed after a trace read would).
  vexo::discard_trace_copy(*vexo::record_from_handle(dev));
  vexo::free_device_record(dev);
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetParentDevice(VEXO_DEVICE_HANDLE_t dev, VEXO_DEVICE_HANDLE_t* parent) {
  if (parent == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *parent = dev == nullptr ? nullptr : vexo::record_from_handle(dev)->parent;
  return *parent == nullptr ? VEXO_STATUS_INVALID_PARAMETER : VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetParentPort(VEXO_DEVICE_HANDLE_t, VEXO_DEVICE_HANDLE_t*) {
  return VEXO_STATUS_NOT_SUPPORTED;
}

VEXO_API VEXO_STATUS_t GetBusNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* bus) {
  return vexo::copy_field(dev, bus, [](const device_record& r) { return r.bus; });
}

VEXO_API VEXO_STATUS_t GetDeviceNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* device) {
  return vexo::copy_field(dev, device, [](const device_record& r) { return r.device; });
}

VEXO_API VEXO_STATUS_t GetFunctionNumber(VEXO_DEVICE_HANDLE_t dev, unsigned char* function) {
  return vexo::copy_field(dev, function, [](const device_record& r) { return r.function; });
}

VEXO_API VEXO_STATUS_t GetVendorID(VEXO_DEVICE_HANDLE_t dev, unsigned short* vendor_id) {
  return vexo::copy_field(dev, vendor_id, [](const device_record& r) { return r.vendor_id; });
}

VEXO_API VEXO_STATUS_t GetDeviceID(VEXO_DEVICE_HANDLE_t dev, unsigned short* device_id) {
  return vexo::copy_field(dev, device_id, [](const device_record& r) { return r.device_id; });
}

VEXO_API VEXO_STATUS_t GetHeaderType(VEXO_DEVICE_HANDLE_t dev, unsigned char* header_type) {
  if (dev == nullptr || header_type == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *header_type = vexo::record_from_handle(dev)->config[vexo::reg::header_type];
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetDeviceType(VEXO_DEVICE_HANDLE_t dev, VEXO_DEV_PORT_TYPE_t* type) {
  if (dev == nullptr || type == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  PCIE_CAPABILITY_STRUCT_t express{};
  if (vexo::read_express_capability(dev, &express) != VEXO_STATUS_SUCCESS) {
    return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
  }
  *type = static_cast<VEXO_DEV_PORT_TYPE_t>(vexo::port_type_of(express));
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t IsMultiFunction(VEXO_DEVICE_HANDLE_t dev, int* multi_function) {
  if (dev == nullptr || multi_function == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *multi_function = vexo::record_from_handle(dev)->function != 0 ? 1 : 0;
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t VEXO_GetDeviceProperties(VEXO_DEVICE_HANDLE_t dev, unsigned char* bus,
                                                unsigned char* device, unsigned char* function,
                                                unsigned short* vendor_id,
                                                unsigned short* device_id) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record& record = *vexo::record_from_handle(dev);
  if (bus != nullptr) *bus = record.bus;
  if (device != nullptr) *device = record.device;
  if (function != nullptr) *function = record.function;
  if (vendor_id != nullptr) *vendor_id = record.vendor_id;
  if (device_id != nullptr) *device_id = record.device_id;
  return VEXO_STATUS_SUCCESS;
}
