// Fuzz target: the trace-buffer walk and searches over arbitrary bytes as a card's trace.
// Input: a 16-byte TLP pattern, 4 bytes of search flags, then the trace.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "device/device_record.h"
#include "trace/trace_copy.h"
#include "vexo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 20) return 0;
  uint8_t pattern[16];
  std::memcpy(pattern, data, sizeof pattern);
  uint32_t flags = 0;
  std::memcpy(&flags, data + 16, sizeof flags);
  const size_t trace_size = size - 20;

  uint8_t config[vexo::config_copy_size] = {};
  VEXO_DEVICE_HANDLE_t card = nullptr;
  if (vexo::make_device_record(4, 0, 0, config, &card) != VEXO_STATUS_SUCCESS) return 0;
  vexo::device_record& record = *vexo::record_from_handle(card);
  record.is_card = 1;
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(trace_size ? trace_size : 1));
  if (trace_size) std::memcpy(copy, data + 20, trace_size);
  vexo::adopt_trace_copy(record, copy, static_cast<uint32_t>(trace_size));

  unsigned int count = 0;
  GetNumTLPMatches(card, pattern, flags, &count);
  std::vector<uint8_t> words(4u * (count + 1u));
  unsigned int found = 0;
  FindTLPByTLPType(card, pattern, flags, words.data(), &found);
  unsigned int dllps = 0;
  GetNumDLLPMatches(card, pattern, 0, &dllps);
  std::vector<uint8_t> entries(6u * 8u);
  unsigned int capacity = 8;
  FindDLLPTypeDLLPType(card, pattern, 0, entries.data(), &capacity);
  uint8_t header[16];
  for (int index = 0; index < 64; ++index)
    if (VEXO_ZAM_TB_GetTLPByIndex(card, header, 0, index) != VEXO_STATUS_SUCCESS) break;
  VEXO_ZAM_TB_GetTLPByIndex(card, header, 0, -1);
  uint8_t contents[64];
  unsigned int length = sizeof contents;
  GetTBContents(card, contents, &length);

  vexo::discard_trace_copy(record);
  vexo::free_device_record(card);
  return 0;
}
