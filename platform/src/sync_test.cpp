// Events: manual and auto reset, timed waits, waking another thread.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

TEST(SyncTest, ManualResetStaysSetAutoResetReleasesOnce) {
  platform::event manual(true);
  EXPECT_FALSE(manual.wait(0));
  manual.set();
  EXPECT_TRUE(manual.wait(0));
  EXPECT_TRUE(manual.wait(0));
  manual.reset();
  EXPECT_FALSE(manual.wait(1));

  platform::event automatic(false, true);
  EXPECT_TRUE(automatic.wait(0));
  EXPECT_FALSE(automatic.wait(0));
}

TEST(SyncTest, WorkerSignalsWaiter) {
  platform::event done(false);
  std::atomic<int> value{0};
  platform::worker_thread worker([&] {
    value = 7;
    done.set();
  });
  EXPECT_TRUE(done.wait(platform::wait_forever));
  EXPECT_EQ(value, 7);
  worker.join();
  EXPECT_FALSE(worker.joinable());
}

}  // namespace
