// The event object of worker-mode dialogs.
#include <new>

#include "platform/sync.h"
#include "vexomin.h"

CVEXOGuiEvent::CVEXOGuiEvent() : event_(new (std::nothrow) platform::event(false)) {}

CVEXOGuiEvent::~CVEXOGuiEvent() { delete event_; }

VEXO_STATUS_t CVEXOGuiEvent::Wait(uint32_t timeout_ms) {
  if (event_ == nullptr) return VEXO_STATUS_FAILED;
  if (!event_->wait(timeout_ms)) return VEXO_STATUS_TIMEOUT;
  if (input_provided_) return VEXO_STATUS_USER_INPUT;
  if (timed_out_) return VEXO_STATUS_DIALOG_TIMED_OUT;
  return VEXO_STATUS_SUCCESS;
}

int CVEXOGuiEvent::IsSet() { return event_ != nullptr && event_->wait(0) ? 1 : 0; }

void CVEXOGuiEvent::MarkInput() { input_provided_ = 1; }

void CVEXOGuiEvent::MarkTimedOut() { timed_out_ = 1; }

VEXO_STATUS_t CVEXOGuiEvent::Clear() {
  if (event_ == nullptr) return VEXO_STATUS_FAILED;
  event_->reset();
  return VEXO_STATUS_SUCCESS;
}

void CVEXOGuiEvent::ForgetMarks() {
  input_provided_ = 0;
  timed_out_ = 0;
}

VEXO_STATUS_t CVEXOGuiEvent::Signal() {
  if (event_ == nullptr) return VEXO_STATUS_FAILED;
  event_->set();
  return VEXO_STATUS_SUCCESS;
}
