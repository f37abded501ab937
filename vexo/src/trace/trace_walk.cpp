// Walking the records of a trace copy.
#include "trace/trace_walk.h"

#include <cstring>

namespace vexo::trace {

bool record_at(const trace_view& view, uint32_t position, trace_record& record) {
  const uint64_t end = view.size;
  if (view.bytes == nullptr || uint64_t{position} + header_size > end) return false;
  const uint8_t* header = view.bytes + position;
  if (header[0] != record_marker) return false;
  const uint8_t kind = header[kind_byte] & kind_mask;
  uint64_t payload_size = 0;
  if (kind <= kind_last_tlp) {
    record.kind = record_kind::tlp;
    const uint32_t dwords = header[tlp_length_byte] | (header[tlp_length_byte + 1] << 8);
    payload_size = uint64_t{dwords} * 4;
  } else if (kind == kind_dllp) {
    record.kind = record_kind::dllp;
    payload_size = dllp_payload_size;
  } else {
    record.kind = record_kind::other;
  }
  if (uint64_t{position} + header_size + payload_size > end) return false;
  record.payload = position + header_size;
  record.payload_size = static_cast<uint32_t>(payload_size);
  return true;
}

void copy_clamped(const trace_view& view, uint32_t offset, uint8_t* destination,
                  uint32_t count) {
  std::memset(destination, 0, count);
  if (view.bytes == nullptr || offset >= view.size) return;
  const uint32_t available = view.size - offset;
  std::memcpy(destination, view.bytes + offset, available < count ? available : count);
}

}  // namespace vexo::trace
