// Events and threads over the standard library (every backend).
#include "platform/sync.h"

#include <chrono>

namespace platform {

event::event(bool manual_reset, bool initially_set)
    : manual_reset_(manual_reset), signalled_(initially_set) {}

void event::set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  if (manual_reset_) {
    changed_.notify_all();
  } else {
    changed_.notify_one();
  }
}

void event::reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool event::wait(uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  const auto ready = [this] { return signalled_; };
  if (timeout_ms == wait_forever) {
    changed_.wait(lock, ready);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return false;
  }
  if (!manual_reset_) signalled_ = false;
  return true;
}

bool event::is_set() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

worker_thread::worker_thread(std::function<void()> body) : thread_(std::move(body)) {}

worker_thread& worker_thread::operator=(worker_thread&& other) {
  if (this != &other) {
    join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

worker_thread::~worker_thread() { join(); }

void worker_thread::join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace platform
