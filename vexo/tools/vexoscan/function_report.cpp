// Formatting what the framework reports about one function.
#include "function_report.h"

#include <cstdio>

#include "capability_chain.h"

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

// The bridge whose secondary bus holds the function, as a bus listing shows it: for a
// switch's downstream port that is the switch's upstream port (OpenDevice stores the port
// above the switch instead). "-" on the root bus.
std::string parent_of(VEXO_DEVICE_HANDLE_t dev) {
  VEXO_DEVICE_HANDLE_t parent = VEXO_GetUpStreamPort(dev);
  if (parent == nullptr) return "-";
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

}  // namespace vexoscan
