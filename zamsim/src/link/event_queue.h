// Virtual time: one queue of events serviced in time order; the only clock of the link
// and device models (no model sleeps or reads the wall clock, so runs repeat exactly).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

namespace zamsim {

// Virtual time in nanoseconds.
using tick = uint64_t;

class event_queue;

// A reusable event (a timer): scheduled, rescheduled or descheduled by its owner.
class event {
 public:
  explicit event(std::function<void()> action, int priority = 0) : action_(std::move(action)), priority_(priority) {}
  event(const event&) = delete;
  event& operator=(const event&) = delete;
  ~event();

  bool scheduled() const { return queue_ != nullptr; }
  tick when() const { return when_; }

 private:
  friend class event_queue;
  std::function<void()> action_;
  int priority_;
  event_queue* queue_ = nullptr;
  tick when_ = 0;
  uint64_t order_ = 0;
};

class event_queue {
 public:
  event_queue() = default;
  event_queue(const event_queue&) = delete;
  event_queue& operator=(const event_queue&) = delete;
  ~event_queue();

  tick now() const { return now_; }

  // Schedules an event at `when` (never before now); an event already scheduled moves.
  void schedule(event& e, tick when);
  void deschedule(event& e);
  // A one-shot action owned by the queue. Among events of the same time, lower priority
  // values run first, then the order of scheduling.
  void schedule_once(tick when, std::function<void()> action, int priority = 0);

  bool empty() const { return pending_.empty(); }
  // Runs the earliest event; false when none is pending.
  bool service_one();
  // Runs events until none is pending or `bound` have run; returns how many ran.
  uint64_t settle(uint64_t bound);
  // Runs the events due up to and including `until`, then sets the clock to it.
  void run_until(tick until);

 private:
  using key = std::tuple<tick, int, uint64_t>;
  struct entry {
    event* reusable = nullptr;
    std::unique_ptr<event> owned;
  };
  std::map<key, entry> pending_;
  tick now_ = 0;
  uint64_t next_order_ = 0;
};

}  // namespace zamsim
