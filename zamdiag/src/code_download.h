// Code downloads into the controller: Intel Hex files (-H) and EEPROM boot images (-R),
// bracketed by holding and releasing the controller's CPU.
#pragma once

#include <string>

#include "boot_image.h"
#include "intel_hex.h"
#include "tool_context.h"

namespace zamdiag {

// The Intel Hex text is read in one block of at most this many bytes.
inline constexpr std::size_t max_hex_file = 65536;

// -H <file>: writes the data records, in order, and lets the new code run.
int download_intel_hex(tool_context& tool, const std::string& path);

// -R [file]: pulses the reset, or downloads the boot image's records between holding and
// releasing it.
int reset_with_boot_image(tool_context& tool, const std::string& path);

}  // namespace zamdiag
