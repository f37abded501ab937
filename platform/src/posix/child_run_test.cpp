// Supervised runs, what only POSIX has: signals that end a child, and the time limit's fall
// back from SIGTERM to SIGKILL. The cases every system shares are in ../child_run_test.cpp.
#include "platform/child_run.h"

#include <gtest/gtest.h>

namespace {

TEST(ChildRunPosixTest, SignalThatEndedTheChild) {
  const auto r = platform::run_child({"sh", "-c", "kill -SEGV $$"}, {});
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.signal, 11);
  EXPECT_EQ(r.exit_code, -1);
}

TEST(ChildRunPosixTest, TimeLimitStopsTheWholeGroup) {
  platform::child_run_options options;
  options.timeout_ms = 200;
  // The shell ignores SIGTERM and keeps starting sleeps, so the limit has to fall back to SIGKILL.
  const auto r = platform::run_child({"sh", "-c", "trap '' TERM; while :; do sleep 0.05; done"}, options);
  EXPECT_TRUE(r.started);
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.signal, 9);
  EXPECT_LT(r.elapsed_ms, 10000u);
}

TEST(ChildRunPosixTest, MissingFolderIsNotStarted) {
  platform::child_run_options options;
  options.working_folder = "/nowhere/folder";
  const auto r = platform::run_child({"true"}, options);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.error, "true: No such file or directory");
}

}  // namespace
