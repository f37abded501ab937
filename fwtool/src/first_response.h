// Alters the engine's completions the way a slow or odd device would answer.
#pragma once

#include <cstdint>

namespace fwtool {

// Applies the behaviour to a completion of the engine (null: no response). Returns the
// completion to send, or null when the behaviour drops it (then it has been released).
uint32_t* apply_first_response(uint32_t behaviour, bool first_request, uint32_t* completion);

// Bytes to send for a completion: 16 for a completion with data, else 12.
uint32_t completion_length(const uint32_t* completion);

}  // namespace fwtool
