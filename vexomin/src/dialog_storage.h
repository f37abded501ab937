// The dialog storage that every dialog UI object shares: texts and parameters handed to the
// worker threads, the workers themselves and the pending yes/no answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/sync.h"
#include "vexomin.h"

namespace vexomin {

// A worker thread of one dialog and the mark it sets when its dialog has ended.
class dialog_worker {
 public:
  dialog_worker(const void* owner, std::function<void()> body);
  const void* owner() const { return owner_; }
  // Ends the worker: calls close_dialog until the worker has finished, then joins it.
  void end(int32_t (*close_dialog)());

 private:
  const void* owner_;
  std::shared_ptr<std::atomic<bool>> finished_;
  platform::worker_thread thread_;
};

struct display_job {
  std::string header;
  std::string message;
  std::string button = "OK";
  int wait_for_operator = 0;
  uint32_t timeout_ms = 0;
  CVEXOGuiEvent* event = nullptr;
};

struct yes_no_job {
  std::string header;
  std::string question;
  std::string yes_label;
  std::string no_label;
  uint32_t timeout_ms = 0;
  CVEXOGuiEvent* event = nullptr;
};

// Guarded by mutex: a worker copies its job under the lock, so it never reads a text the
// caller is writing.
struct dialog_storage {
  std::mutex mutex;
  display_job display;
  yes_no_job yes_no;
  std::unique_ptr<dialog_worker> display_worker;
  std::unique_ptr<dialog_worker> yes_no_worker;
  int* pending_answer = nullptr;
};

// The storage of the process: made by the first dialog UI object, kept while any uses it.
std::shared_ptr<dialog_storage> shared_dialog_storage();

}  // namespace vexomin
