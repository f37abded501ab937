// FLASH images: the image header, programming (-P) and verifying (-p) at an offset.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tool_context.h"

namespace zamdiag {

inline constexpr std::size_t image_header_size = 256;
// Verifying stops once more than this many differences were found.
inline constexpr int max_compare_errors = 20;

// "ZAM1", big-endian size and modification time, zeros.
std::array<uint8_t, image_header_size> image_header(uint32_t size, uint32_t modified);

// Where the FLASH region that starts at or below `offset` ends: the next mode image, or the
// end of the FLASH. nullopt when the offset lies past the end.
std::optional<uint32_t> flash_region_end(uint32_t offset);

int program_flash(tool_context& tool, const std::string& path, uint32_t offset, bool header);
int verify_flash(tool_context& tool, const std::string& path, uint32_t offset, bool header);

}  // namespace zamdiag
