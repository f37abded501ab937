// Ownership of a card record's trace copy: replacing and freeing it with its TLP index.
#pragma once

#include <cstdint>

#include "device/device_record.h"

namespace vexo {

// Frees the trace copy and its TLP index; the record then holds no copy (count 0).
void discard_trace_copy(device_record& record);

// Replaces the trace copy (freeing the previous one and its index) with a malloc'ed block.
void adopt_trace_copy(device_record& record, uint8_t* bytes, uint32_t byte_count);

}  // namespace vexo
