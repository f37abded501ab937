// The four standard configuration templates, kept as data tables.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lattix_templates {

// Bytes first..last get this value and these masks.
struct templateRow {
  uint16_t first;
  uint16_t last;
  uint8_t value;
  uint8_t writeMask;
  uint8_t writeOnceMask;
  uint8_t rw1cMask;
  uint8_t stickyMask;
};

struct templateTable {
  const templateRow* rows;
  size_t count;
};

// Rows to apply, in order, for a template kind (later rows win). Kind 0 or an unknown
// kind gives an empty list.
const templateTable* templateFor(int kind, size_t* tableCount);

}  // namespace lattix_templates
