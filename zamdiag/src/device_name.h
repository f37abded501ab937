// The device-name rule: which EZ-USB device a name on the command line opens.
#pragma once

#include <optional>
#include <string>

namespace zamdiag {

inline constexpr const char* default_device_name = "ezusb-0";
// The driver path "\\.\<name>" is built in a buffer of this size, terminator included.
inline constexpr std::size_t device_path_buffer = 64;

// The device a given name opens: names shorter than 2 characters are card numbers and get
// "ezusb-" in front ("1" opens ezusb-1). nullopt when the driver path would not fit.
std::optional<std::string> device_name_for(const std::string& given);

// The Windows driver path of a device name.
std::string driver_path(const std::string& device_name);

}  // namespace zamdiag
