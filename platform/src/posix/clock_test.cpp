// Time: local fields, tick and the time scale.
#include "platform/clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

namespace {

TEST(ClockTest, LocalTimeFieldsAreInRange) {
  const auto now = platform::local_now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LT(now.hour, 24);
  EXPECT_LT(now.milliseconds, 1000);
  EXPECT_LT(now.day_of_week, 7);
}

TEST(ClockTest, TimeScaleParsesFactorAndRejectsGarbage) {
  ::setenv("ZAM_TIME_SCALE", "0.25", 1);
  EXPECT_DOUBLE_EQ(platform::time_scale(), 0.25);
  ::setenv("ZAM_TIME_SCALE", "0", 1);
  EXPECT_DOUBLE_EQ(platform::time_scale(), 0.0);
  const uint32_t before = platform::tick_ms();
  platform::sleep_ms(100000);  // scaled to nothing
  EXPECT_LT(platform::tick_ms() - before, 1000u);
  // A value that is not a factor keeps the scale at 1, and says so once per value.
  for (const char* bad : {"fast", "-2", "1x"}) {
    ::setenv("ZAM_TIME_SCALE", bad, 1);
    ::testing::internal::CaptureStderr();
    EXPECT_DOUBLE_EQ(platform::time_scale(), 1.0) << bad;
    EXPECT_DOUBLE_EQ(platform::time_scale(), 1.0) << bad;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string("zam: ZAM_TIME_SCALE=\"") + bad +
                  "\" is not a usable value; using 1 (a factor of 0 or more)\n");
  }
  ::setenv("ZAM_TIME_SCALE", "", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_DOUBLE_EQ(platform::time_scale(), 1.0);  // empty: not set
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ::unsetenv("ZAM_TIME_SCALE");
  EXPECT_DOUBLE_EQ(platform::time_scale(), 1.0);
}

}  // namespace

namespace {

TEST(ClockTest, LocalTimeOfAMomentFollowsTheZone) {
  const char* saved = std::getenv("TZ");
  const std::string old = saved != nullptr ? saved : "";
  setenv("TZ", "UTC", 1);
  // 2001-09-09 01:46:40 UTC, a Sunday.
  auto t = platform::local_time_at(1000000000);
  EXPECT_EQ(t.year, 2001);
  EXPECT_EQ(t.month, 9);
  EXPECT_EQ(t.day, 9);
  EXPECT_EQ(t.day_of_week, 0);
  EXPECT_EQ(t.hour, 1);
  EXPECT_EQ(t.minute, 46);
  EXPECT_EQ(t.second, 40);
  setenv("TZ", "EST5", 1);
  t = platform::local_time_at(1000000000);
  EXPECT_EQ(t.day, 8);
  EXPECT_EQ(t.hour, 20);
  if (saved != nullptr) setenv("TZ", old.c_str(), 1); else unsetenv("TZ");
}

}  // namespace
