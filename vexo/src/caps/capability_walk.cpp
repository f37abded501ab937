// The first/next walk over both capability lists, one handle per capability: the PCI list
// first, then the extended list of a PCI Express device.
#include "caps/capability_handle.h"
#include "caps/capability_lengths.h"
#include "caps/express_capability.h"
#include "caps/pci_registers.h"
#include "config/config_access.h"
#include "device/device_record.h"

namespace vexo {
namespace {

enum class described { ok, read_failed, refused, empty };

// A PCI capability at offset; its length from the table, or from its own byte 2 when it is
// vendor specific.
described describe_pci(VEXO_DEVICE_HANDLE_t dev, uint32_t offset, capability_record& out) {
  uint8_t header[2] = {};
  uint32_t length = sizeof header;
  if (read_device_config(dev, header, offset, &length) != VEXO_STATUS_SUCCESS) {
    return described::read_failed;
  }
  uint32_t capability_length = 0;
  if (pci_capability_length(header[0], &capability_length) != VEXO_STATUS_SUCCESS) {
    return described::refused;
  }
  if (header[0] == VEXO_PCI_CAP_VENDOR_SPECIFIC) {
    uint8_t own_length = 0;
    length = 1;
    if (read_device_config(dev, &own_length, offset + reg::vendor_specific_length, &length) !=
        VEXO_STATUS_SUCCESS) {
      return described::read_failed;
    }
    capability_length = own_length;
  }
  out = capability_record{dev, offset, header[0], capability_length, header[1]};
  return described::ok;
}

// An extended capability at offset.
described describe_extended(VEXO_DEVICE_HANDLE_t dev, uint32_t offset, capability_record& out) {
  uint32_t header = 0;
  uint32_t length = sizeof header;
  if (read_device_config(dev, &header, offset, &length) != VEXO_STATUS_SUCCESS) {
    return described::read_failed;
  }
  const uint32_t id = header & 0xFFFF;
  if (id == 0x0000 || id == 0xFFFF) return described::empty;
  uint32_t capability_length = 0;
  if (extended_capability_length(id, &capability_length) != VEXO_STATUS_SUCCESS) {
    return described::refused;
  }
  out = capability_record{dev, offset, id, capability_length, header >> reg::extended_next_shift};
  return described::ok;
}

VEXO_STATUS_t hand_out(const capability_record& found, VEXO_CAP_HANDLE_t* cap) {
  *cap = make_capability(found.device, found.offset, found.id, found.length, found.next);
  return *cap == nullptr ? VEXO_STATUS_INSUFFICIENT_RESOURCES : VEXO_STATUS_SUCCESS;
}

bool has_express_capability(VEXO_DEVICE_HANDLE_t dev) {
  return read_express_capability(dev, nullptr) == VEXO_STATUS_SUCCESS;
}

// The first extended capability; `empty_list` is the status when 0x100 holds none.
VEXO_STATUS_t first_extended(VEXO_DEVICE_HANDLE_t dev, VEXO_STATUS_t not_express,
                             VEXO_STATUS_t empty_list, VEXO_CAP_HANDLE_t* cap) {
  if (!has_express_capability(dev)) return not_express;
  capability_record found{};
  switch (describe_extended(dev, reg::extended_list_first, found)) {
    case described::ok: return hand_out(found, cap);
    case described::empty: return empty_list;
    default: return VEXO_STATUS_INVALID_PARAMETER;
  }
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t GetFirstCapability(VEXO_DEVICE_HANDLE_t dev, VEXO_CAP_HANDLE_t* cap) {
  using namespace vexo;
  if (cap == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *cap = nullptr;
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record& record = *record_from_handle(dev);
  const uint8_t layout = record.config[reg::header_type] & reg::header_type_layout_mask;
  if (layout != reg::header_type_normal && layout != reg::header_type_bridge) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  const uint16_t status =
      static_cast<uint16_t>(record.config[reg::status] | (record.config[reg::status + 1] << 8));
  const uint32_t pointer = record.config[reg::capabilities_pointer] & reg::capability_pointer_mask;
  if ((status & reg::status_capabilities_list) != 0 && pointer >= reg::pci_list_first &&
      pointer <= reg::pci_list_limit) {
    capability_record found{};
    if (describe_pci(dev, pointer, found) == described::ok) return hand_out(found, cap);
  }
  return first_extended(dev, VEXO_STATUS_INVALID_PARAMETER, VEXO_STATUS_INVALID_PARAMETER, cap);
}

VEXO_API VEXO_STATUS_t GetNextCapability(VEXO_DEVICE_HANDLE_t dev, VEXO_CAP_HANDLE_t* cap,
                                         VEXO_CAP_HANDLE_t previous) {
  using namespace vexo;
  if (cap == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *cap = nullptr;  // cleared first, so a refused call never leaves a stale handle
  if (previous == nullptr || dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const capability_record& last = *capability_from_handle(previous);
  capability_record found{};

  if (last.offset >= reg::extended_list_first) {
    const uint32_t next = last.next & reg::extended_next_mask;
    if (next == 0) return VEXO_STATUS_PCIE_NO_MORE_CAPS;
    // An extended capability lies at 0x100 or above; one that points at itself would make
    // the caller's walk endless.
    if (next < reg::extended_list_first || next == last.offset) {
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    switch (describe_extended(dev, next, found)) {
      case described::ok: return hand_out(found, cap);
      case described::empty: return VEXO_STATUS_PCIE_NO_MORE_CAPS;
      default: return VEXO_STATUS_INVALID_PARAMETER;
    }
  }

  const uint32_t next = last.next & reg::capability_pointer_mask;
  if (next != 0) {
    if (next < reg::pci_list_first || next == last.offset) return VEXO_STATUS_INVALID_PARAMETER;
    switch (describe_pci(dev, next, found)) {
      case described::ok: return hand_out(found, cap);
      case described::read_failed: return VEXO_STATUS_INVALID_PARAMETER;
      default: break;  // a refused ID ends the PCI list, as in GetFirstCapability
    }
  }
  return first_extended(dev, VEXO_STATUS_PCIE_NO_MORE_CAPS, VEXO_STATUS_PCIE_NO_MORE_CAPS, cap);
}
