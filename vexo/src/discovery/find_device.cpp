// FindDevice: by bus/device/function, by IDs, by IDs and position, and by find information.
#include "caps/pci_registers.h"
#include "discovery/function_scan.h"
#include "startup/framework_handle.h"

namespace vexo {
namespace {

VEXO_STATUS_t find_at(const function_number& where, VEXO_DEVICE_HANDLE_t* dev) {
  discovery_buffer buffer;
  if (!read_discovery_header(where, buffer)) return VEXO_STATUS_DEVICE_NOT_FOUND;
  const uint16_t vendor = buffer_word(buffer, reg::vendor_id);
  if (vendor == 0xFFFF || vendor == 0x0000) return VEXO_STATUS_DEVICE_NOT_FOUND;
  return make_record_at(where, buffer, dev);
}

// The first present function the predicate accepts; `bus_end_vendor` is the vendor ID that
// makes the scan leave the rest of a bus (none when it is 0xFFFF, which is never present).
template <typename Matches>
VEXO_STATUS_t find_first(uint16_t bus_end_vendor, Matches matches, VEXO_DEVICE_HANDLE_t* dev) {
  VEXO_STATUS_t status = VEXO_STATUS_DEVICE_NOT_FOUND;
  scan_functions({}, [&](const function_number& at, const discovery_buffer& buffer) {
    if (buffer_word(buffer, reg::vendor_id) == bus_end_vendor) return scan_step::skip_bus;
    if (!matches(at, buffer)) return scan_step::go_on;
    status = make_record_at(at, buffer, dev);
    return scan_step::stop;
  });
  return status;
}

constexpr uint16_t no_bus_end = 0xFFFF;

bool ids_match(const discovery_buffer& buffer, uint16_t device_id, uint16_t vendor_id) {
  return buffer_word(buffer, reg::device_id) == device_id &&
         buffer_word(buffer, reg::vendor_id) == vendor_id;
}

VEXO_STATUS_t find_by_ids(uint16_t device_id, uint16_t vendor_id, VEXO_DEVICE_HANDLE_t* dev) {
  return find_first(
      0x0000,
      [&](const function_number&, const discovery_buffer& buffer) {
        return ids_match(buffer, device_id, vendor_id);
      },
      dev);
}

VEXO_STATUS_t find_by_ids_at(uint16_t device_id, uint16_t vendor_id, const function_number& where,
                             VEXO_DEVICE_HANDLE_t* dev) {
  return find_first(
      0x00FF,
      [&](const function_number& at, const discovery_buffer& buffer) {
        return ids_match(buffer, device_id, vendor_id) && at == where;
      },
      dev);
}

VEXO_STATUS_t find_by_class(const VEXO_DEVICE_FIND_INFO_t& info, VEXO_DEVICE_HANDLE_t* dev) {
  return find_first(
      no_bus_end,
      [&](const function_number&, const discovery_buffer& buffer) {
        return buffer[reg::prog_if] == info.programming_interface &&
               buffer[reg::sub_class] == info.sub_class &&
               buffer[reg::base_class] == info.base_class;
      },
      dev);
}

VEXO_STATUS_t find_by_information(uint32_t flags, const VEXO_DEVICE_FIND_INFO_t& info,
                                  VEXO_DEVICE_HANDLE_t* dev) {
  const bool by_ids = (flags & VEXO_FIND_BY_IDS) != 0;
  const bool by_bdf = (flags & VEXO_FIND_BY_BDF) != 0;
  const function_number where{info.bus, info.device, info.function};
  if ((flags & VEXO_FIND_BY_CLASS) != 0) return find_by_class(info, dev);
  if (by_ids && !by_bdf) return find_by_ids(info.device_id, info.vendor_id, dev);
  if (by_bdf && !by_ids) return find_at(where, dev);
  if (by_ids && by_bdf) return find_by_ids_at(info.device_id, info.vendor_id, where, dev);
  return VEXO_STATUS_FIND_DEVICE_FAILED;
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t FindDevice(unsigned char bus, unsigned char device,
                                  unsigned char function, VEXO_DEVICE_HANDLE_t* dev) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *dev = nullptr;
  return vexo::find_at({bus, device, function}, dev);
}

VEXO_API VEXO_STATUS_t FindDevice(unsigned short device_id, unsigned short vendor_id,
                                  VEXO_DEVICE_HANDLE_t* dev) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *dev = nullptr;
  return vexo::find_by_ids(device_id, vendor_id, dev);
}

VEXO_API VEXO_STATUS_t FindDevice(unsigned short device_id, unsigned short vendor_id,
                                  unsigned char bus, unsigned char device,
                                  unsigned char function, VEXO_DEVICE_HANDLE_t* dev) {
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *dev = nullptr;
  return vexo::find_by_ids_at(device_id, vendor_id, {bus, device, function}, dev);
}

VEXO_API VEXO_STATUS_t FindDevice(VEXO_HANDLE_t handle, VEXO_DEVICE_HANDLE_t* dev,
                                  unsigned int flags, VEXO_DEVICE_FIND_INFO_t* info) {
  using namespace vexo;
  if (dev == nullptr || info == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *dev = nullptr;
  const VEXO_STATUS_t status = find_by_information(flags, *info, dev);
  if (status != VEXO_STATUS_SUCCESS) {
    if (*dev != nullptr) free_device_record(*dev);
    *dev = nullptr;
    return VEXO_STATUS_FIND_DEVICE_FAILED;
  }
  device_record* record = record_from_handle(*dev);
  record->framework = handle;
  record->opened = 0;
  if (record->is_card == 0 && handle != nullptr) {
    append_to_list(framework_from_handle(handle)->found_devices, record->link);
  }
  return VEXO_STATUS_SUCCESS;
}
