// Time on Windows: local time fields, the tick, and ZAM_TIME_SCALE applied by sleep_ms.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/process.h"

namespace {

TEST(Win32ClockTest, LocalTimeFieldsAreInRange) {
  const platform::local_time now = platform::local_now();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_LE(now.day_of_week, 6);
  EXPECT_LE(now.milliseconds, 999);
  // 2001-09-09 01:46:40 UTC: the same calendar day or one either side in any zone.
  const platform::local_time moment = platform::local_time_at(1000000000);
  EXPECT_EQ(moment.year, 2001);
  EXPECT_EQ(moment.month, 9);
  EXPECT_GE(moment.day, 8);
  EXPECT_LE(moment.day, 9);
  EXPECT_EQ(moment.minute % 15, 46 % 15) << "zones differ by whole quarter hours";
  EXPECT_EQ(moment.second, 40);
}

TEST(Win32ClockTest, SleepIsScaledByTimeScale) {
  platform::set_environment("ZAM_TIME_SCALE", "0.1");
  EXPECT_DOUBLE_EQ(platform::time_scale(), 0.1);
  uint32_t start = platform::tick_ms();
  platform::sleep_ms(2000);
  const uint32_t scaled = platform::tick_ms() - start;
  EXPECT_LT(scaled, 1000u);
  platform::set_environment("ZAM_TIME_SCALE", "bogus");
  EXPECT_DOUBLE_EQ(platform::time_scale(), 1.0);
  platform::unset_environment("ZAM_TIME_SCALE");
  start = platform::tick_ms();
  platform::sleep_ms(120);
  EXPECT_GE(platform::tick_ms() - start, 100u);
}

}  // namespace
