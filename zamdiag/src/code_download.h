// Code downloads into the controller: Intel Hex files (-H) and EEPROM boot images (-R),
// bracketed by holding and releasing the controller's CPU.
#pragma once

#include <string>

#include "boot_image.h"
#include "intel_hex.h"
#include "tool_context.h"

namespace zamdiag {

// The Intel Hex text is read in one block of at most this many bytes; a longer file is
// refused, since its end would never reach the card.
inline constexpr std::size_t max_hex_file = 65536;
// A boot image fills at most the controller's 64 KiB EEPROM.
inline constexpr std::size_t max_boot_image = 65536;

// -H <file>: writes the data records, in order, and lets the new code run. A file that is
// not a regular file, is longer than max_hex_file, holds no record or does not end with an
// end record is refused before the card is touched.
int download_intel_hex(tool_context& tool, const std::string& path);

// -R [file]: pulses the reset, or downloads the boot image's records between holding and
// releasing it. An image that is not a regular file, is longer than max_boot_image or
// holds no record is refused before the card is touched.
int reset_with_boot_image(tool_context& tool, const std::string& path);

}  // namespace zamdiag
