// Events and threads: thin wrappers over the standard library.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

inline constexpr uint32_t wait_forever = 0xFFFFFFFFu;

// A Windows-style event: manual reset stays signalled until reset; auto reset releases one
// waiter and clears itself.
class event {
 public:
  explicit event(bool manual_reset, bool initially_set = false);
  event(const event&) = delete;
  event& operator=(const event&) = delete;

  void set();
  void reset();
  // True when signalled within timeout_ms (wait_forever waits without limit).
  bool wait(uint32_t timeout_ms = wait_forever);
  bool is_set() const;

 private:
  const bool manual_reset_;
  bool signalled_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
};

// A joinable thread; joins on destruction.
class worker_thread {
 public:
  worker_thread() = default;
  explicit worker_thread(std::function<void()> body);
  worker_thread(worker_thread&&) = default;
  worker_thread& operator=(worker_thread&& other);
  ~worker_thread();

  bool joinable() const { return thread_.joinable(); }
  void join();

 private:
  std::thread thread_;
};

}  // namespace platform
