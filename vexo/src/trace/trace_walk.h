// Walking the records of a trace copy without ever reading outside it.
#pragma once

#include <cstdint>

#include "trace/trace_format.h"

namespace vexo::trace {

// A read-only view of a trace copy.
struct trace_view {
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
};

enum class record_kind { tlp, dllp, other };

struct trace_record {
  record_kind kind;
  uint32_t payload;       // offset of the payload in the copy
  uint32_t payload_size;  // bytes
};

// The record at `position`, or false at the end of the walk: past the end of the copy, a
// marker other than 0xF1, or a record whose length runs past the end of the copy (a trace
// cut short by the card; the partial record is not data).
bool record_at(const trace_view& view, uint32_t position, trace_record& record);

// Visits every record in order; the visitor returns false to stop early.
template <typename Visit>
void walk_records(const trace_view& view, Visit visit) {
  trace_record record{};
  // Each record is at least its header long, so the walk always moves forward and ends.
  for (uint32_t position = 0; record_at(view, position, record);
       position = record.payload + record.payload_size) {
    if (!visit(record)) return;
  }
}

// Copies `count` bytes from `offset` of the copy; bytes past its end are zero, never read.
void copy_clamped(const trace_view& view, uint32_t offset, uint8_t* destination,
                  uint32_t count);

}  // namespace vexo::trace
