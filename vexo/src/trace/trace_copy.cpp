// Ownership of a card record's trace copy.
#include "trace/trace_copy.h"

#include <cstdlib>

namespace vexo {

void discard_trace_copy(device_record& record) {
  adopt_trace_copy(record, nullptr, 0);
}

void adopt_trace_copy(device_record& record, uint8_t* bytes, uint32_t byte_count) {
  // The index describes the old copy only; drop it before anything can look at it again.
  delete record.tlp_positions;
  record.tlp_positions = nullptr;
  std::free(record.trace_buffer);
  record.trace_buffer = bytes;
  record.trace_byte_count = bytes == nullptr ? 0 : byte_count;
}

}  // namespace vexo
