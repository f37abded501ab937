// Finding TLP number n of a trace copy: by walking from the start, or through the record's
// lazily built index of TLP positions.
#pragma once

#include <cstdint>
#include <vector>

#include "device/device_record.h"
#include "trace/trace_walk.h"

namespace vexo::trace {

inline trace_view view_of(const device_record& record) {
  return trace_view{record.trace_buffer, record.trace_byte_count};
}

// Payload offset of TLP number `index` (from 0), walking from the start; false when the
// copy holds fewer TLPs. Linear in the position of the TLP.
bool find_tlp_by_walk(const trace_view& view, uint32_t index, uint32_t& payload);

// Payload offsets of every TLP of the record's copy, built on first use and kept until the
// copy is replaced or freed.
const std::vector<uint32_t>& tlp_positions(device_record& record);

// Payload offset of TLP number `index` through the index; false when there are fewer TLPs.
bool find_tlp_indexed(device_record& record, uint32_t index, uint32_t& payload);

}  // namespace vexo::trace
