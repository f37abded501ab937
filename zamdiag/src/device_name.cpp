// The device-name rule and the driver path.
#include "device_name.h"

namespace zamdiag {

namespace {
constexpr const char* path_prefix = "\\\\.\\";
}

std::optional<std::string> device_name_for(const std::string& given) {
  std::string name = given.size() < 2 ? "ezusb-" + given : given;
  if (driver_path(name).size() + 1 > device_path_buffer) return std::nullopt;
  return name;
}

std::string driver_path(const std::string& device_name) { return path_prefix + device_name; }

}  // namespace zamdiag
