// Yes/no dialog exports.
#include "dialog_slot.h"
#include "quillet.h"

namespace {

quillet::dialog_slot& yes_no_slot() {
  static quillet::dialog_slot slot;
  return slot;
}

}  // namespace

extern "C" {

QUILLET_API int32_t CreateGetUserBooleanChoiceDialog(const std::string* header, const std::string* question,
                                                     const std::string* yes_label, const std::string* no_label,
                                                     uint32_t timeout_ms) {
  platform::dialog_request request;
  request.kind = platform::dialog_kind::yes_no;
  request.caption = quillet::text_or(header);
  request.text = quillet::text_or(question);
  request.yes_label = quillet::text_or(yes_label, "Yes");
  request.no_label = quillet::text_or(no_label, "No");
  request.timeout_ms = timeout_ms;
  return yes_no_slot().run(std::move(request));
}

QUILLET_API int32_t GetUserBooleanChoiceDialogData(bool* answer) {
  if (answer == nullptr) return QUILLET_ERROR_INVALID_ARGUMENT;
  const auto reply = yes_no_slot().reply();
  if (!reply || reply->end != platform::dialog_end::answered) return QUILLET_ERROR_NO_ANSWER;
  *answer = reply->yes;
  return QUILLET_OK;
}

QUILLET_API bool IsGetUserBooleanChoiceDialogDone() { return yes_no_slot().done(); }

QUILLET_API bool GetUserBooleanDidUserProvideInput() { return yes_no_slot().answered_by_operator(); }

QUILLET_API bool DidGetUserBooleanChoiceDialogTimeOut() { return yes_no_slot().timed_out(); }

QUILLET_API int32_t DestroyGetUserBooleanChoiceDialog() { return yes_no_slot().destroy(); }

}  // extern "C"
