// The dialog storage shared by every dialog UI object, and the worker threads it records.
#include "dialog_storage.h"

#include <chrono>
#include <thread>

namespace vexomin {

dialog_worker::dialog_worker(const void* owner, std::function<void()> body)
    : owner_(owner), finished_(std::make_shared<std::atomic<bool>>(false)) {
  thread_ = platform::worker_thread([finished = finished_, body = std::move(body)] {
    body();
    *finished = true;
  });
}

void dialog_worker::end(int32_t (*close_dialog)()) {
  // The worker may still be about to open its dialog: close again until it has finished.
  while (!*finished_) {
    close_dialog();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  thread_.join();
}

std::shared_ptr<dialog_storage> shared_dialog_storage() {
  static std::mutex made_mutex;
  static std::weak_ptr<dialog_storage> current;
  std::lock_guard lock(made_mutex);
  std::shared_ptr<dialog_storage> storage = current.lock();
  if (!storage) {
    storage = std::make_shared<dialog_storage>();
    current = storage;
  }
  return storage;
}

}  // namespace vexomin
