// Single- and multiple-selection list dialog exports.
#include "dialog_slot.h"
#include "quillet.h"

namespace {

quillet::dialog_slot& single_slot() {
  static quillet::dialog_slot slot;
  return slot;
}

quillet::dialog_slot& multiple_slot() {
  static quillet::dialog_slot slot;
  return slot;
}

int32_t run_list(quillet::dialog_slot& slot, platform::dialog_kind kind, const std::string* header,
                 const std::string* prompt, const std::vector<std::string>* entries, uint32_t timeout_ms) {
  if (entries == nullptr) return QUILLET_ERROR_INVALID_ARGUMENT;
  platform::dialog_request request;
  request.kind = kind;
  request.caption = quillet::text_or(header);
  request.text = quillet::text_or(prompt);
  request.items = *entries;
  request.timeout_ms = timeout_ms;
  return slot.run(std::move(request));
}

}  // namespace

extern "C" {

QUILLET_API int32_t CreateGetUserListSingleSelectionDialog(const std::string* header, const std::string* prompt,
                                                           const std::vector<std::string>* entries,
                                                           uint32_t timeout_ms) {
  return run_list(single_slot(), platform::dialog_kind::choice, header, prompt, entries, timeout_ms);
}

QUILLET_API int32_t GetUserListSingleSelectionData(uint32_t* index) {
  if (index == nullptr) return QUILLET_ERROR_INVALID_ARGUMENT;
  const auto reply = single_slot().reply();
  if (!reply) return QUILLET_ERROR_NO_ANSWER;
  *index = reply->end == platform::dialog_end::answered ? reply->index : QUILLET_NO_SELECTION;
  return QUILLET_OK;
}

QUILLET_API bool DidGetUserListSingleSelectionDialogTimeOut() { return single_slot().timed_out(); }

QUILLET_API int32_t DestroyGetUserListSingleSelectionDialog() { return single_slot().destroy(); }

QUILLET_API int32_t CreateGetUserListSelectionsDialog(const std::string* header, const std::string* prompt,
                                                      const std::vector<std::string>* entries,
                                                      uint32_t timeout_ms) {
  return run_list(multiple_slot(), platform::dialog_kind::multi_choice, header, prompt, entries, timeout_ms);
}

QUILLET_API int32_t GetUserListSelectionsData(std::vector<uint32_t>* indices) {
  if (indices == nullptr) return QUILLET_ERROR_INVALID_ARGUMENT;
  const auto reply = multiple_slot().reply();
  if (!reply) return QUILLET_ERROR_NO_ANSWER;
  if (reply->end == platform::dialog_end::answered) {
    *indices = reply->indices;
  } else {
    indices->clear();
  }
  return QUILLET_OK;
}

QUILLET_API bool DidGetUserListSelectionsDialogTimeOut() { return multiple_slot().timed_out(); }

QUILLET_API int32_t DestroyGetUserListSelectionsDialog() { return multiple_slot().destroy(); }

}  // extern "C"
