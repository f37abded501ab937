// LogTBContents: the card's action count and the trace copy as words in the XML log.
#include "card/card_access.h"
#include "common/guarded.h"
#include "log/log_handle.h"
#include "vexo.h"
#include "xml/xml_log.h"

VEXO_API VEXO_STATUS_t LogTBContents(VEXO_LOG_HANDLE_t log, VEXO_DEVICE_HANDLE_t card,
                                     unsigned int* length) {
  if (log == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  auto* xml = dynamic_cast<vexo::CXmlVEXOLog*>(vexo::log_from_handle(log));
  if (xml == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr) return VEXO_STATUS_INVALID_PARAMETER;

  uint32_t dump_count = length == nullptr ? 0 : *length;
  if (dump_count == 0) {
    dump_count = record->trace_byte_count;
  } else if (dump_count > record->trace_byte_count) {
    dump_count = record->trace_byte_count;
    *length = dump_count;
  }
  unsigned int action_count = 0;
  if (VEXO_ZAM_GetActionCount(card, &action_count) != VEXO_STATUS_SUCCESS) action_count = 0;
  return vexo::guarded([&] {
    // A length that is not a multiple of four still dumps whole words of the copy.
    // A log without a file reports VEXO_STATUS_LOG_NOT_OPEN rather than a dump that never
    // happened.
    return xml->WriteTraceBufferDump(static_cast<int32_t>(action_count), record->trace_buffer,
                                     dump_count, record->trace_byte_count);
  });
}
