// Message dialog exports.
#include "dialog_slot.h"
#include "quillet.h"

namespace {

quillet::dialog_slot& display_slot() {
  static quillet::dialog_slot slot;
  return slot;
}

}  // namespace

extern "C" {

QUILLET_API int32_t CreateDisplayInfoToUserDialog(const std::string* header, const std::string* message,
                                                  bool wait_for_operator, uint32_t timeout_ms,
                                                  const std::string* button_label) {
  platform::dialog_request request;
  request.kind = platform::dialog_kind::message;
  request.caption = quillet::text_or(header);
  request.text = quillet::text_or(message);
  request.wait_for_operator = wait_for_operator;
  request.button = quillet::text_or(button_label, "OK");
  request.timeout_ms = timeout_ms;
  return display_slot().run(std::move(request));
}

QUILLET_API bool IsDisplayInfoToUserDialogDone() { return display_slot().done(); }

QUILLET_API bool DiplayInfoDidUserProvideInput() { return display_slot().answered_by_operator(); }

QUILLET_API bool DidDisplayInfoToUserDialogTimeOut() { return display_slot().timed_out(); }

QUILLET_API int32_t DestroyDisplayInfoToUserDialog() { return display_slot().destroy(); }

}  // extern "C"
