// The virtual-time event queue.
#include "link/event_queue.h"

namespace zamsim {

event::~event() {
  if (queue_ != nullptr) queue_->deschedule(*this);
}

event_queue::~event_queue() {
  for (auto& [k, e] : pending_) {
    if (e.reusable != nullptr) e.reusable->queue_ = nullptr;
  }
}

void event_queue::schedule(event& e, tick when) {
  if (e.queue_ != nullptr) e.queue_->deschedule(e);
  if (when < now_) when = now_;
  e.queue_ = this;
  e.when_ = when;
  e.order_ = next_order_++;
  pending_[key{when, e.priority_, e.order_}].reusable = &e;
}

void event_queue::deschedule(event& e) {
  if (e.queue_ != this) return;
  pending_.erase(key{e.when_, e.priority_, e.order_});
  e.queue_ = nullptr;
}

void event_queue::schedule_once(tick when, std::function<void()> action, int priority) {
  if (when < now_) when = now_;
  auto owned = std::make_unique<event>(std::move(action), priority);
  const uint64_t order = next_order_++;
  pending_[key{when, priority, order}].owned = std::move(owned);
}

bool event_queue::service_one() {
  if (pending_.empty()) return false;
  auto first = pending_.begin();
  now_ = std::get<0>(first->first);
  entry e = std::move(first->second);
  pending_.erase(first);
  if (e.reusable != nullptr) {
    e.reusable->queue_ = nullptr;
    e.reusable->action_();
  } else {
    e.owned->action_();
  }
  return true;
}

uint64_t event_queue::settle(uint64_t bound) {
  uint64_t ran = 0;
  while (ran < bound && service_one()) ++ran;
  return ran;
}

void event_queue::run_until(tick until) {
  while (!pending_.empty() && std::get<0>(pending_.begin()->first) <= until) service_one();
  if (until > now_) now_ = until;
}

}  // namespace zamsim
