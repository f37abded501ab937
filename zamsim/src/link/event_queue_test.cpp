// Virtual time: order of service, timers moved and cancelled, bounded settling.
#include "link/event_queue.h"

#include <gtest/gtest.h>

#include <string>

namespace zamsim {
namespace {

TEST(EventQueueTest, ServicesInTimeThenPriorityThenSchedulingOrder) {
  event_queue q;
  std::string order;
  q.schedule_once(20, [&] { order += "c"; });
  q.schedule_once(10, [&] { order += "b"; }, 1);
  q.schedule_once(10, [&] { order += "a"; }, 0);
  q.schedule_once(20, [&] { order += "d"; });
  EXPECT_EQ(q.settle(100), 4u);
  EXPECT_EQ(order, "abcd");
  EXPECT_EQ(q.now(), 20u);
  q.schedule_once(5, [&] { order += "e"; });  // never in the past
  q.settle(1);
  EXPECT_EQ(q.now(), 20u);
}

TEST(EventQueueTest, TimersMoveAndCancel) {
  event_queue q;
  int fired = 0;
  event timer([&] { ++fired; });
  q.schedule(timer, 100);
  q.schedule(timer, 50);  // rescheduled, not doubled
  EXPECT_TRUE(timer.scheduled());
  EXPECT_EQ(timer.when(), 50u);
  q.settle(10);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(q.now(), 50u);
  q.schedule(timer, 80);
  q.deschedule(timer);
  EXPECT_FALSE(timer.scheduled());
  EXPECT_TRUE(q.empty());
  q.schedule(timer, 90);
  q.run_until(85);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(q.now(), 85u);
  q.run_until(90);
  EXPECT_EQ(fired, 2);
}

TEST(EventQueueTest, SettlingIsBoundedAndAnEventMayRescheduleItself) {
  event_queue q;
  int fired = 0;
  event* self = nullptr;
  event ticking([&] {
    ++fired;
    q.schedule(*self, q.now() + 1);
  });
  self = &ticking;
  q.schedule(ticking, 0);
  EXPECT_EQ(q.settle(1000), 1000u);
  EXPECT_EQ(fired, 1000);
  EXPECT_EQ(q.now(), 999u);
  EXPECT_FALSE(q.empty());
}

}  // namespace
}  // namespace zamsim
