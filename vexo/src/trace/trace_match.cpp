// The match rules of the trace searches.
#include "trace/trace_match.h"

#include "trace/trace_format.h"
#include "vexo.h"

namespace vexo::trace {

bool tlp_matches(const uint8_t* pattern, const uint8_t* tlp_header, uint32_t flags) {
  if (flags == 0) return true;
  struct field {
    uint32_t flag;
    uint32_t (*value)(const uint8_t*);
  };
  static constexpr field fields[] = {
      {VEXO_TLP_MATCH_FMT, tlp_fmt},
      {VEXO_TLP_MATCH_TYPE, tlp_type},
      {VEXO_TLP_MATCH_LENGTH, tlp_length},
  };
  const bool every_field = (flags & VEXO_TLP_MATCH_ALL) != 0;
  bool matched = true;
  for (const field& f : fields) {
    if ((flags & f.flag) == 0) continue;
    const bool equal = f.value(pattern) == f.value(tlp_header);
    if (every_field && !equal) return false;
    // Without the all-fields flag the last enabled field decides.
    matched = equal;
  }
  return matched;
}

uint8_t dllp_match_type(uint8_t dllp_type_byte) {
  // InitFC1, InitFC2 and UpdateFC for P, NP and Cpl carry the VC ID in bits 2-0
  // (PCIe Base 4.0 sec 3.5.1).
  const uint8_t without_vc = dllp_type_byte & 0xF8;
  switch (without_vc) {
    case 0x40: case 0x50: case 0x60:
    case 0x80: case 0x90: case 0xA0:
    case 0xC0: case 0xD0: case 0xE0:
      return without_vc;
    default:
      return dllp_type_byte;
  }
}

}  // namespace vexo::trace
