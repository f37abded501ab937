// Number and text dialog exports.
#include <atomic>

#include "dialog_slot.h"
#include "quillet.h"

namespace {

quillet::dialog_slot& item_slot() {
  static quillet::dialog_slot slot;
  return slot;
}

std::atomic<uint32_t> next_default_number{0};

}  // namespace

extern "C" {

QUILLET_API int32_t CreateGetUserItemDialog(const std::string* header, const std::string* title,
                                            const std::string* prompt, bool number_wanted, bool hexadecimal,
                                            uint32_t timeout_ms) {
  platform::dialog_request request;
  request.kind = number_wanted ? platform::dialog_kind::number : platform::dialog_kind::text;
  request.caption = quillet::text_or(header);
  request.title = quillet::text_or(title);
  request.text = quillet::text_or(prompt);
  request.hexadecimal = number_wanted && hexadecimal;
  request.default_number = number_wanted ? next_default_number.exchange(0) : 0;
  request.timeout_ms = timeout_ms;
  return item_slot().run(std::move(request));
}

QUILLET_API void SetGetUserItemDialogDefaultNumber(uint32_t number) { next_default_number = number; }

QUILLET_API int32_t GetUserItemDialogData(uint32_t* number, std::string* text) {
  if (number == nullptr && text == nullptr) return QUILLET_ERROR_INVALID_ARGUMENT;
  const auto reply = item_slot().reply();
  if (!reply || reply->end != platform::dialog_end::answered) return QUILLET_ERROR_NO_ANSWER;
  if (number != nullptr && !reply->has_number) return QUILLET_ERROR_NO_ANSWER;
  if (number != nullptr) *number = reply->number;
  if (text != nullptr) *text = reply->text;
  return QUILLET_OK;
}

QUILLET_API bool DidGetUserItemDialogTimeOut() { return item_slot().timed_out(); }

QUILLET_API int32_t DestroyGetUserItemDialog() { return item_slot().destroy(); }

}  // extern "C"
