// The one dialog of a kind: shown, ended, queried and destroyed from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/operator.h"

namespace quillet {

class dialog_slot {
 public:
  // Shows the dialog and returns when it has ended; refuses while one of the kind is open.
  int32_t run(platform::dialog_request request);
  // True unless a dialog of the kind is open.
  bool done() const;
  bool timed_out() const;
  // True when the last dialog ended with an answer (or a cancel) that someone gave.
  bool answered_by_operator() const;
  // How the last dialog ended, unless none ended since the last destroy.
  std::optional<platform::dialog_reply> reply() const;
  // Closes an open dialog (its run returns) and forgets the last one.
  int32_t destroy();

 private:
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  bool open_ = false;
  std::atomic<bool> close_requested_{false};
  std::optional<platform::dialog_reply> last_;
};

// A text argument, or the fallback when the caller passed none.
std::string text_or(const std::string* text, const char* fallback = "");

}  // namespace quillet
