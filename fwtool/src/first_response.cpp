// First-response behaviours: configuration retry status, invalid packets, no answer.
#include "first_response.h"

#include "lattix/packet_handler.h"
#include "run_settings.h"

namespace fwtool {
namespace {

void make_crs(uint32_t* c) {
  c[1] = (c[1] & 0xFFFF5FFFu) | 0x4000u;  // status 2, configuration request retry
  c[0] &= 0x9FFFFFFFu;                     // no data
}

void make_invalid(uint32_t* c) { c[0] = c[1] = c[2] = 0xFFFFFFFFu; }

}  // namespace

uint32_t* apply_first_response(uint32_t behaviour, bool first_request, uint32_t* completion) {
  if (completion == nullptr) return nullptr;
  const bool this_one = behaviour == crs_all || behaviour == invalid_all || behaviour == drop_all || first_request;
  if (!this_one) return completion;
  switch (behaviour) {
    case crs_first:
    case crs_all: make_crs(completion); break;
    case invalid_first:
    case invalid_all: make_invalid(completion); break;
    case drop_first:
    case drop_all:
      // A dropped completion is released here; nothing else owns it.
      releaseCompletion(completion);
      return nullptr;
    default: break;
  }
  return completion;
}

uint32_t completion_length(const uint32_t* completion) {
  const bool with_data = ((completion[0] >> 24) & 0x1F) == 0x0A && ((completion[0] >> 29) & 0x3) == 2;
  return with_data ? 16 : 12;
}

}  // namespace fwtool
