// What the card tells about itself: firmware version, FLASH image headers, date text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "tool_context.h"

namespace zamdiag {

struct firmware_version {
  uint8_t major = 0, minor = 0, build = 0, flags = 0;
};

// The 4-byte version record; nullopt when it could not be read whole.
std::optional<firmware_version> read_firmware_version(card_port& card);

// "major.minor", plus ".build" when the build is not 0.
std::string version_text(const firmware_version& version);

// Local date text as "Www Mmm dd hh:mm:ss yyyy\n" (day padded with a space).
std::string date_text(const platform::local_time& time);

// The image header at a FLASH address as one line: "<size> bytes, <date>", "invalid image
// at 0x...", or "error reading FLASH" (then `read_ok` is false).
std::string image_info_text(card_port& card, uint32_t address, bool& read_ok);

// -v and -V.
int show_version(tool_context& tool);
int show_image_info(tool_context& tool, uint32_t address);

}  // namespace zamdiag
