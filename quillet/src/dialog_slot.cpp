// The one dialog of a kind: shown, ended, queried and destroyed from any thread.
#include "dialog_slot.h"

#include "quillet.h"

namespace quillet {

int32_t dialog_slot::run(platform::dialog_request request) {
  {
    std::lock_guard lock(mutex_);
    if (open_) return QUILLET_ERROR_BUSY;
    open_ = true;
    close_requested_ = false;
    last_.reset();
  }
  request.cancel = &close_requested_;
  const platform::dialog_reply reply = platform::ask_dialog(request);
  {
    std::lock_guard lock(mutex_);
    open_ = false;
    if (reply.end != platform::dialog_end::failed) last_ = reply;
  }
  ended_.notify_all();
  return reply.end == platform::dialog_end::failed ? QUILLET_ERROR_NOT_SHOWN : QUILLET_OK;
}

bool dialog_slot::done() const {
  std::lock_guard lock(mutex_);
  return !open_;
}

bool dialog_slot::timed_out() const {
  std::lock_guard lock(mutex_);
  return last_ && last_->end == platform::dialog_end::timed_out;
}

bool dialog_slot::answered_by_operator() const {
  std::lock_guard lock(mutex_);
  return last_ && last_->by_operator;
}

std::optional<platform::dialog_reply> dialog_slot::reply() const {
  std::lock_guard lock(mutex_);
  return last_;
}

int32_t dialog_slot::destroy() {
  std::unique_lock lock(mutex_);
  if (open_) {
    close_requested_ = true;
    ended_.wait(lock, [this] { return !open_; });
  }
  last_.reset();
  return QUILLET_OK;
}

std::string text_or(const std::string* text, const char* fallback) {
  return text != nullptr ? *text : std::string(fallback);
}

}  // namespace quillet
