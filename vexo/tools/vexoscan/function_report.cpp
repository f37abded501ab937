// Formatting what the framework reports about one function.
#include "function_report.h"

#include <cstdio>
#include <set>

namespace vexoscan {
namespace {

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

std::string position(VEXO_DEVICE_HANDLE_t dev) {
  unsigned char bus = 0, device = 0, function = 0;
  VEXO_GetDeviceProperties(dev, &bus, &device, &function, nullptr, nullptr);
  return hex(bus, 2) + ":" + hex(device, 2) + "." + hex(function, 1);
}

std::string port_type_name(VEXO_DEVICE_HANDLE_t dev) {
  VEXO_DEV_PORT_TYPE_t type{};
  if (GetDeviceType(dev, &type) != VEXO_STATUS_SUCCESS) return "-";
  switch (type) {
    case VEXO_DEV_ENDPOINT: return "endpoint";
    case VEXO_DEV_LEGACY_ENDPOINT: return "legacy-endpoint";
    case VEXO_DEV_ROOT_PORT: return "root-port";
    case VEXO_DEV_SWITCH_UPSTREAM_PORT: return "switch-upstream";
    case VEXO_DEV_SWITCH_DOWNSTREAM_PORT: return "switch-downstream";
    case VEXO_DEV_PCIE_TO_PCI_BRIDGE: return "pcie-to-pci-bridge";
  }
  return "type-" + std::to_string(static_cast<unsigned>(type));
}

std::string parent_of(VEXO_DEVICE_HANDLE_t dev) {
  if (OpenDevice(dev, 0) != VEXO_STATUS_SUCCESS) return "-";
  VEXO_DEVICE_HANDLE_t parent = nullptr;
  if (GetParentDevice(dev, &parent) != VEXO_STATUS_SUCCESS) return "-";
  std::string text = position(parent);
  CloseDevice(parent);
  return text;
}

std::string pad(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string report_heading() {
  return pad("BDF", 9) + pad("IDS", 11) + pad("HDR", 5) + pad("PORT", 20) + pad("PARENT", 9) +
         "CAPABILITIES";
}

std::string report_line(VEXO_DEVICE_HANDLE_t dev) {
  unsigned short vendor = 0, device = 0;
  unsigned char header = 0;
  GetVendorID(dev, &vendor);
  GetDeviceID(dev, &device);
  GetHeaderType(dev, &header);
  return pad(position(dev), 9) + pad(hex(vendor, 4) + ":" + hex(device, 4), 11) +
         pad(hex(header, 2), 5) + pad(port_type_name(dev), 20) + pad(parent_of(dev), 9) +
         capability_list(dev);
}

std::string capability_list(VEXO_DEVICE_HANDLE_t dev) {
  VEXO_CAP_HANDLE_t cap = nullptr;
  if (GetFirstCapability(dev, &cap) != VEXO_STATUS_SUCCESS) return "(none)";
  std::string text;
  std::set<unsigned> visited;  // a list that loops back is reported, not followed forever
  VEXO_STATUS_t status = VEXO_STATUS_SUCCESS;
  while (status == VEXO_STATUS_SUCCESS) {
    VEXO_PCI_DEVICE_CAP_INFO_t info{};
    VEXO_QueryCapInfo(cap, &info);
    if (!visited.insert(info.offset).second) {
      VEXO_FreeCapabilityHandle(cap);
      return text + " [list loops at 0x" + hex(info.offset, 0) + "]";
    }
    if (!text.empty()) text += " ";
    text += "0x" + hex(info.offset, 2) + ":" + hex(info.id, info.offset >= 0x100 ? 4 : 2) + "(" +
            std::to_string(info.length) + ")";
    VEXO_CAP_HANDLE_t next = nullptr;
    status = GetNextCapability(dev, &next, cap);
    VEXO_FreeCapabilityHandle(cap);
    cap = next;
  }
  if (status != VEXO_STATUS_PCIE_NO_MORE_CAPS) {
    text += std::string(" [walk ended: ") + VEXOGetErrorDesc(status) + "]";
  }
  return text;
}

}  // namespace vexoscan
