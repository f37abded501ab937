// Counting ERR_COR and ERR_FATAL messages in the card's read trace buffer.
#include <cstdio>

#include "shared_routines.h"

namespace {

constexpr uint8_t err_cor = 0x30;
constexpr uint8_t err_fatal = 0x33;

unsigned int count_messages(VEXO_DEVICE_HANDLE_t card, uint8_t code, bool report_failure) {
  const uint8_t every_tlp[4] = {};
  unsigned int tlps = 0;
  if (GetNumTLPMatches(card, every_tlp, 0, &tlps) != VEXO_STATUS_SUCCESS) {
    if (report_failure) {
      std::printf("GetNumTLPMatches. line[%d] file[%s] returned failure\n", __LINE__,
                  "Link/Source/link_test_setup");
    }
    return 0;
  }
  unsigned int count = 0;
  for (unsigned int i = 0; i < tlps; ++i) {
    uint8_t header[16] = {};
    if (VEXO_ZAM_TB_GetTLPByIndex(card, header, 0, static_cast<int>(i)) != VEXO_STATUS_SUCCESS) {
      continue;
    }
    if (zam::is_message_to_root(header, code)) ++count;
  }
  return count;
}

}  // namespace

namespace zam {

bool is_message_to_root(const uint8_t (&header)[16], uint8_t message_code) {
  // Fmt x1 (4 DW header, with or without data) and Type 10000: a message routed to the root
  // complex. Byte 7 holds its message code; other TLPs carry other fields there.
  return (header[0] & 0x3F) == 0x30 && header[7] == message_code;
}

}  // namespace zam

VEXO_STATUS_t CountErrCorMessages(VEXO_DEVICE_HANDLE_t card, unsigned int* count) {
  *count = 0;
  *count = count_messages(card, err_cor, true);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CountErrFatalMessages(VEXO_DEVICE_HANDLE_t card, unsigned int* count) {
  *count = 0;
  *count = count_messages(card, err_fatal, false);
  return VEXO_STATUS_SUCCESS;
}
