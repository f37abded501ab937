// The memory commands: one read shown as a hex dump, one write of the value bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "tool_context.h"

namespace zamdiag {

// Reads min(count, 1024) bytes at the address and dumps what came back.
int read_memory(tool_context& tool, uint16_t request, uint32_t address, uint32_t count);

// Writes the bytes at the address in one request.
int write_memory(tool_context& tool, uint16_t request, uint32_t address,
                 const std::vector<uint8_t>& values);

}  // namespace zamdiag
