// The match rules of the trace searches: TLP header fields by flag, DLLP types.
#pragma once

#include <cstdint>

namespace vexo::trace {

// Compares TLP header word 0 of the pattern and of a TLP by the VEXO_TLP_MATCH_... flags.
bool tlp_matches(const uint8_t* pattern, const uint8_t* tlp_header, uint32_t flags);

// The DLLP type used for matching: flow-control types lose their virtual channel bits.
uint8_t dllp_match_type(uint8_t dllp_type_byte);

}  // namespace vexo::trace
