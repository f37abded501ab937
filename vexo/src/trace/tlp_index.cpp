// Finding TLP number n of a trace copy, and VEXO_ZAM_TB_GetTLPByIndex.
#include "trace/tlp_index.h"

#include <memory>

#include "card/card_access.h"
#include "common/guarded.h"
#include "vexo.h"

namespace vexo::trace {

bool find_tlp_by_walk(const trace_view& view, uint32_t index, uint32_t& payload) {
  uint32_t seen = 0;
  bool found = false;
  walk_records(view, [&](const trace_record& record) {
    if (record.kind != record_kind::tlp) return true;
    if (seen++ < index) return true;
    payload = record.payload;
    found = true;
    return false;
  });
  return found;
}

const std::vector<uint32_t>& tlp_positions(device_record& record) {
  if (record.tlp_positions == nullptr) {
    auto positions = std::make_unique<std::vector<uint32_t>>();
    walk_records(view_of(record), [&](const trace_record& tlp) {
      if (tlp.kind == record_kind::tlp) positions->push_back(tlp.payload);
      return true;
    });
    positions->shrink_to_fit();
    record.tlp_positions = positions.release();
  }
  return *record.tlp_positions;
}

bool find_tlp_indexed(device_record& record, uint32_t index, uint32_t& payload) {
  const std::vector<uint32_t>& positions = tlp_positions(record);
  if (index >= positions.size()) return false;
  payload = positions[index];
  return true;
}

}  // namespace vexo::trace

VEXO_API VEXO_STATUS_t VEXO_ZAM_TB_GetTLPByIndex(VEXO_DEVICE_HANDLE_t card, void* header_16,
                                                 unsigned int, int index) {
  vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr || header_16 == nullptr || index < 0) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  return vexo::guarded([&] {
    uint32_t payload = 0;
    if (!vexo::trace::find_tlp_indexed(*record, static_cast<uint32_t>(index), payload)) {
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    // Sixteen bytes from the TLP's start: a shorter TLP is followed by whatever the copy
    // holds next, and nothing past the end of the copy is read.
    vexo::trace::copy_clamped(vexo::trace::view_of(*record), payload,
                              static_cast<uint8_t*>(header_16),
                              vexo::trace::tlp_header_copy_size);
    return VEXO_STATUS_SUCCESS;
  });
}
