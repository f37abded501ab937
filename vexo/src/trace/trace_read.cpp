// Reading the card's trace into its record, handing out the copy, and the trace settings.
#include <cstdlib>
#include <cstring>

#include "card/card_access.h"
#include "trace/trace_copy.h"
#include "vexo.h"

namespace {

// Bits 9-12 of the card's trace configuration word.
constexpr uint32_t trace_config_bit9 = 1u << 9;
constexpr uint32_t trace_config_bit10 = 1u << 10;
constexpr uint32_t trace_config_bit11 = 1u << 11;
constexpr uint32_t trace_config_bit12 = 1u << 12;

uint32_t apply_trace_flags(uint32_t word, uint32_t flags) {
  // Applied in this order, so a later flag overrides an earlier one.
  if (flags & VEXO_TB_SET_BIT9) word |= trace_config_bit9;
  if (flags & VEXO_TB_CLEAR_BIT9) word &= ~trace_config_bit9;
  if (flags & VEXO_TB_SET_BITS10_11) word |= trace_config_bit10 | trace_config_bit11;
  if (flags & VEXO_TB_CLEAR_BITS10_11) word &= ~(trace_config_bit10 | trace_config_bit11);
  if (flags & VEXO_TB_BIT10_ONLY) word = (word | trace_config_bit10) & ~trace_config_bit11;
  if (flags & VEXO_TB_SET_BIT12) word |= trace_config_bit12;
  if (flags & VEXO_TB_CLEAR_BIT12) word &= ~trace_config_bit12;
  return word;
}

}  // namespace

VEXO_API VEXO_STATUS_t ZAMGetTraceBuffer(VEXO_DEVICE_HANDLE_t card) {
  vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const ZAM_READ_TRACE_t read_trace = vexo::card_slot(&ZAM_LIB_INTERFACE_t::ReadTrace);
  if (read_trace == nullptr) return VEXO_STATUS_INVALID_PARAMETER;

  // The count goes into a local first: the record's count must keep describing its copy.
  uint32_t byte_count = 0;
  if (vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::GetTraceByteCount, &byte_count) !=
      VEXO_STATUS_SUCCESS) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  vexo::discard_trace_copy(*record);
  // Zeroed, so that a card delivering less than it announced leaves no stale bytes.
  auto* bytes = static_cast<uint8_t*>(std::calloc(byte_count == 0 ? 1 : byte_count, 1));
  if (bytes == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;

  uint32_t delivered = byte_count;
  const VEXO_STATUS_t status =
      read_trace(record->bus, record->device, record->function, &delivered, bytes);
  // A failed read delivers nothing; a card never gets to claim more than the copy holds.
  if (status != VEXO_STATUS_SUCCESS) delivered = 0;
  if (delivered > byte_count) delivered = byte_count;
  vexo::adopt_trace_copy(*record, bytes, delivered);
  return status;
}

VEXO_API VEXO_STATUS_t GetBytesInZAMTB(VEXO_DEVICE_HANDLE_t card, unsigned int* count) {
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr || count == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *count = record->trace_byte_count;
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t GetTBContents(VEXO_DEVICE_HANDLE_t card, void* buffer,
                                     unsigned int* length) {
  const vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr || length == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  if (*length > record->trace_byte_count) *length = record->trace_byte_count;
  if (*length == 0) return VEXO_STATUS_SUCCESS;
  if (buffer == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  std::memcpy(buffer, record->trace_buffer, *length);
  return VEXO_STATUS_SUCCESS;
}

VEXO_API VEXO_STATUS_t VEXO_ZAMWritePatternToTB(VEXO_DEVICE_HANDLE_t card, unsigned int pattern) {
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::WritePatternToTrace, uint32_t{pattern});
}

VEXO_API VEXO_STATUS_t SetConfigMaskTraceBuf(VEXO_DEVICE_HANDLE_t card, unsigned int flags) {
  uint32_t word = 0;
  const VEXO_STATUS_t status =
      vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::GetTraceConfig, &word);
  if (status != VEXO_STATUS_SUCCESS) return status;
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::SetTraceConfig,
                            apply_trace_flags(word, flags));
}
