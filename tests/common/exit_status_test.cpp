// The process exit code of a run's status: the low byte, never 0 for a failure.
#include "exit_status.h"

#include <gtest/gtest.h>

TEST(ExitStatus, LowByteAndNeverSuccessForAFailure) {
  EXPECT_EQ(zam::exit_code_of(0), 0);
  EXPECT_EQ(zam::exit_code_of(0x80000006u), 6);
  EXPECT_EQ(zam::exit_code_of(0x80000003u), 3);
  EXPECT_EQ(zam::exit_code_of(0x80000007u), 7);
  EXPECT_EQ(zam::exit_code_of(0x8000000Au), 10);
  EXPECT_EQ(zam::exit_code_of(0x800000FFu), 255);
  // Statuses whose low byte is 0 would read as success.
  EXPECT_EQ(zam::exit_code_of(0x80000000u), 0x80);
  EXPECT_EQ(zam::exit_code_of(0x80000100u), 0x80);
  EXPECT_EQ(zam::exit_code_of(0x00000100u), 0x80);
}
