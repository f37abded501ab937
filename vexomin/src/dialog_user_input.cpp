// The dialog kind of operator input: each request is one Quillet dialog (or a worker thread
// that shows it), with the input gate first.
#include "dialog_user_input.h"

#include "platform/clock.h"
#include "quillet.h"

namespace vexo {
namespace {

// Most dialogs: negative with bit 30 clear is a failure (bit 30 marks a notice).
bool create_failed(int32_t result) { return result < 0 && (result & 0x40000000) == 0; }
// Multiple-selection and text dialogs: any negative result is a failure.
bool create_failed_strict(int32_t result) { return result < 0; }

VEXO_STATUS_t ending(bool timed_out) { return timed_out ? VEXO_STATUS_TIMEOUT : VEXO_STATUS_SUCCESS; }

void run_display_job(const vexomin::display_job& job) {
  if (create_failed(CreateDisplayInfoToUserDialog(&job.header, &job.message, job.wait_for_operator != 0,
                                                  job.timeout_ms, &job.button))) {
    job.event->Signal();
    return;
  }
  while (!IsDisplayInfoToUserDialogDone()) platform::sleep_ms(10);
  if (DiplayInfoDidUserProvideInput()) job.event->MarkInput();
  if (DidDisplayInfoToUserDialogTimeOut()) job.event->MarkTimedOut();
  job.event->Signal();
}

void run_yes_no_job(const vexomin::yes_no_job& job) {
  if (create_failed(CreateGetUserBooleanChoiceDialog(&job.header, &job.question, &job.yes_label, &job.no_label,
                                                     job.timeout_ms))) {
    job.event->Signal();
    return;
  }
  while (!IsGetUserBooleanChoiceDialogDone()) platform::sleep_ms(10);
  if (GetUserBooleanDidUserProvideInput()) job.event->MarkInput();
  if (DidGetUserBooleanChoiceDialogTimeOut()) job.event->MarkTimedOut();
  job.event->Signal();
}

std::string text_or_empty(const std::string* text) { return text != nullptr ? *text : std::string(); }

}  // namespace

CDialogUserInput::CDialogUserInput() : storage_(vexomin::shared_dialog_storage()) {}

CDialogUserInput::~CDialogUserInput() {
  std::unique_ptr<vexomin::dialog_worker> display;
  std::unique_ptr<vexomin::dialog_worker> yes_no;
  {
    std::lock_guard lock(storage_->mutex);
    if (storage_->display_worker && storage_->display_worker->owner() == this) {
      display = std::move(storage_->display_worker);
    }
    if (storage_->yes_no_worker && storage_->yes_no_worker->owner() == this) {
      yes_no = std::move(storage_->yes_no_worker);
      storage_->pending_answer = nullptr;
    }
  }
  if (display) display->end(DestroyDisplayInfoToUserDialog);
  if (yes_no) yes_no->end(DestroyGetUserBooleanChoiceDialog);
}

VEXO_STATUS_t CDialogUserInput::GetSelectionFromList(const std::string* prompt,
                                                     const std::vector<std::string>* list, uint32_t* index,
                                                     uint32_t timeout_ms, int force) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  if (list == nullptr || index == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const std::string header = dialog_header();
  if (create_failed(CreateGetUserListSingleSelectionDialog(&header, prompt, list, timeout_ms))) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  GetUserListSingleSelectionData(index);
  const bool timed_out = DidGetUserListSingleSelectionDialogTimeOut();
  DestroyGetUserListSingleSelectionDialog();
  return ending(timed_out);
}

VEXO_STATUS_t CDialogUserInput::GetMultipleSelectionsFromList(const std::string* prompt,
                                                              const std::vector<std::string>* list,
                                                              std::vector<uint32_t>* indices,
                                                              uint32_t timeout_ms, int force) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  if (list == nullptr || indices == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const std::string header = dialog_header();
  if (create_failed_strict(CreateGetUserListSelectionsDialog(&header, prompt, list, timeout_ms))) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  GetUserListSelectionsData(indices);
  const bool timed_out = DidGetUserListSelectionsDialogTimeOut();
  DestroyGetUserListSelectionsDialog();
  return ending(timed_out);
}

VEXO_STATUS_t CDialogUserInput::GetString(const std::string* title, const std::string* prompt, std::string* text,
                                          uint32_t timeout_ms, int force) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  if (text == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const std::string header = dialog_header();
  if (create_failed_strict(CreateGetUserItemDialog(&header, title, prompt, false, false, timeout_ms))) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  GetUserItemDialogData(nullptr, text);
  const bool timed_out = DidGetUserItemDialogTimeOut();
  DestroyGetUserItemDialog();
  return ending(timed_out);
}

VEXO_STATUS_t CDialogUserInput::GetInteger(const std::string* title, const std::string* prompt, uint32_t* value,
                                           int format, uint32_t timeout_ms, int force, uint32_t maximum,
                                           uint32_t minimum) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  // No number lies in an empty range: asking would never end.
  if (value == nullptr || minimum > maximum) return VEXO_STATUS_INVALID_PARAMETER;
  const std::string header = dialog_header();
  for (;;) {
    // An empty entry (and the auto operator) takes the minimum, which always fits.
    SetGetUserItemDialogDefaultNumber(minimum);
    if (create_failed(CreateGetUserItemDialog(&header, title, prompt, true, format != 0, timeout_ms))) {
      return VEXO_STATUS_INSUFFICIENT_RESOURCES;
    }
    if (GetUserItemDialogData(&last_number_, nullptr) >= 0) *value = last_number_;
    const bool timed_out = DidGetUserItemDialogTimeOut();
    DestroyGetUserItemDialog();
    if (last_number_ <= maximum && last_number_ >= minimum) return ending(timed_out);
  }
}

VEXO_STATUS_t CDialogUserInput::GetBooleanDecision(const std::string* question, const std::string* yes_label,
                                                   const std::string* no_label, int* answer, uint32_t timeout_ms,
                                                   CVEXOGuiEvent* event, int force) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  if (event != nullptr) return start_yes_no_worker(question, yes_label, no_label, answer, timeout_ms, event);
  if (answer == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const std::string header = dialog_header();
  if (create_failed(CreateGetUserBooleanChoiceDialog(&header, question, yes_label, no_label, timeout_ms))) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  bool chosen = false;
  const bool answered = GetUserBooleanChoiceDialogData(&chosen) >= 0;
  last_answer_ = chosen ? 1 : 0;
  if (answered) *answer = last_answer_;
  const bool timed_out = DidGetUserBooleanChoiceDialogTimeOut();
  DestroyGetUserBooleanChoiceDialog();
  return ending(timed_out);
}

VEXO_STATUS_t CDialogUserInput::DisplayInfoToUser(const std::string* message, uint32_t timeout_ms,
                                                  int wait_for_operator, CVEXOGuiEvent* event, int force,
                                                  const std::string* button_label) {
  if (!gate_open(force)) return VEXO_STATUS_SUCCESS;
  if (event != nullptr) return start_display_worker(message, timeout_ms, wait_for_operator, event, button_label);
  const std::string header = dialog_header();
  if (create_failed(
          CreateDisplayInfoToUserDialog(&header, message, wait_for_operator != 0, timeout_ms, button_label))) {
    return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  const bool timed_out = DidDisplayInfoToUserDialogTimeOut();
  DestroyDisplayInfoToUserDialog();
  return ending(timed_out);
}

VEXO_STATUS_t CDialogUserInput::start_display_worker(const std::string* message, uint32_t timeout_ms,
                                                     int wait_for_operator, CVEXOGuiEvent* event,
                                                     const std::string* button_label) {
  std::lock_guard lock(storage_->mutex);
  if (storage_->display_worker) return VEXO_STATUS_FAILED;
  vexomin::display_job& job = storage_->display;
  job.header = dialog_header();
  job.message = text_or_empty(message);
  job.button = button_label != nullptr ? *button_label : "OK";
  job.wait_for_operator = wait_for_operator;
  job.timeout_ms = timeout_ms;
  job.event = event;
  event->ForgetMarks();  // the marks now tell about this dialog only
  storage_->display_worker = std::make_unique<vexomin::dialog_worker>(this, [storage = storage_] {
    vexomin::display_job copy;
    {
      std::lock_guard worker_lock(storage->mutex);
      copy = storage->display;
    }
    run_display_job(copy);
  });
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CDialogUserInput::start_yes_no_worker(const std::string* question, const std::string* yes_label,
                                                    const std::string* no_label, int* answer,
                                                    uint32_t timeout_ms, CVEXOGuiEvent* event) {
  {
    std::lock_guard lock(storage_->mutex);
    if (storage_->yes_no_worker) return VEXO_STATUS_FAILED;
    storage_->pending_answer = answer;
    vexomin::yes_no_job& job = storage_->yes_no;
    job.header = dialog_header();
    job.question = text_or_empty(question);
    job.yes_label = yes_label != nullptr ? *yes_label : "Yes";
    job.no_label = no_label != nullptr ? *no_label : "No";
    job.timeout_ms = timeout_ms;
    job.event = event;
    event->ForgetMarks();  // the marks now tell about this dialog only
    storage_->yes_no_worker = std::make_unique<vexomin::dialog_worker>(this, [storage = storage_] {
      vexomin::yes_no_job copy;
      {
        std::lock_guard worker_lock(storage->mutex);
        copy = storage->yes_no;
      }
      run_yes_no_job(copy);
    });
  }
  // Gives the dialog a moment to appear before the caller goes on.
  platform::sleep_ms(100);
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t CDialogUserInput::TerminateDialog() {
  bool chosen = false;
  const bool answered = GetUserBooleanChoiceDialogData(&chosen) >= 0;
  if (answered) last_answer_ = chosen ? 1 : 0;
  std::unique_ptr<vexomin::dialog_worker> display;
  std::unique_ptr<vexomin::dialog_worker> yes_no;
  {
    std::lock_guard lock(storage_->mutex);
    if (storage_->pending_answer != nullptr && answered) *storage_->pending_answer = last_answer_;
    storage_->pending_answer = nullptr;
    display = std::move(storage_->display_worker);
    yes_no = std::move(storage_->yes_no_worker);
  }
  DestroyGetUserBooleanChoiceDialog();
  DestroyGetUserItemDialog();
  DestroyGetUserListSelectionsDialog();
  DestroyDisplayInfoToUserDialog();
  // Both workers are joined: a yes/no worker left running could signal an event the caller
  // has already destroyed.
  if (display) display->end(DestroyDisplayInfoToUserDialog);
  if (yes_no) yes_no->end(DestroyGetUserBooleanChoiceDialog);
  return VEXO_STATUS_SUCCESS;
}

}  // namespace vexo
