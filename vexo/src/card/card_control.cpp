// Card control: each call checks the card record and forwards one card table slot.
#include "card/card_access.h"
#include "platform/clock.h"
#include "trace/trace_copy.h"
#include "vexo.h"

namespace {

// The card needs a moment after the last traffic before it stops recording.
constexpr uint32_t disarm_settle_ms = 10;

}  // namespace

VEXO_API VEXO_STATUS_t ArmZAM(VEXO_DEVICE_HANDLE_t card, unsigned int) {
  vexo::device_record* record = vexo::card_record(card);
  if (record == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  // The old copy describes the previous run; it goes whether or not arming succeeds.
  vexo::discard_trace_copy(*record);
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::Arm);
}

VEXO_API VEXO_STATUS_t DisarmZAM(VEXO_DEVICE_HANDLE_t card) {
  if (vexo::card_record(card) == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  platform::sleep_ms(disarm_settle_ms);
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::Disarm);
}

VEXO_API VEXO_STATUS_t ProgramZAMCmd(VEXO_DEVICE_HANDLE_t card, vexo_cmd_map_t* command) {
  if (command == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::ProgramCommand,
                            static_cast<const void*>(command));
}

VEXO_API VEXO_STATUS_t ChangeZAMMode(VEXO_DEVICE_HANDLE_t card, VEXO_ZAM_OP_MODE_t mode) {
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::SetMode, uint32_t{mode});
}

VEXO_API VEXO_STATUS_t QueryZAMMode(VEXO_DEVICE_HANDLE_t card, VEXO_ZAM_OP_MODE_t* mode) {
  if (mode == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::GetMode, mode);
}

VEXO_API VEXO_STATUS_t VEXO_GetZAMProperties(VEXO_DEVICE_HANDLE_t card,
                                             vexo_zam_query_prop_t* properties) {
  if (properties == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::GetProperties, properties);
}

VEXO_API VEXO_STATUS_t VEXO_ZAM_GetActionCount(VEXO_DEVICE_HANDLE_t card, unsigned int* count) {
  if (count == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::GetActionCount, count);
}

VEXO_API VEXO_STATUS_t ZAMSuspendLogging(VEXO_DEVICE_HANDLE_t card) {
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::SuspendLogging);
}

VEXO_API VEXO_STATUS_t ZAMResumeLogging(VEXO_DEVICE_HANDLE_t card) {
  return vexo::send_to_card(card, &ZAM_LIB_INTERFACE_t::ResumeLogging);
}
