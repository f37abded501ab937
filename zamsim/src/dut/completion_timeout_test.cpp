// Completion Timeout Value decoding: the upper bound of each supported range, the 50 ms
// default for 0000b and for anything the device does not support.
#include "dut/completion_timeout.h"

#include <gtest/gtest.h>

namespace zamsim {
namespace {

constexpr uint32_t ranges_a_b = 0x3;  // what the lab's DUT advertises

TEST(CompletionTimeoutTest, DefaultIs50Milliseconds) {
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x0), 50'000'000u);
  EXPECT_EQ(completion_timeout_ns(0x0, 0x0), 50'000'000u);
}

TEST(CompletionTimeoutTest, RangesAAndBGiveTheirUpperBounds) {
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x1), 100'000u);
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x2), 10'000'000u);
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x5), 55'000'000u);
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x6), 210'000'000u);
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0xFFF5), 55'000'000u);  // only bits 3:0 count
}

TEST(CompletionTimeoutTest, RangesCAndDWhenAdvertised) {
  EXPECT_EQ(completion_timeout_ns(0xF, 0x9), 900'000'000u);
  EXPECT_EQ(completion_timeout_ns(0xF, 0xA), 3'500'000'000u);
  EXPECT_EQ(completion_timeout_ns(0xF, 0xD), 13'000'000'000u);
  EXPECT_EQ(completion_timeout_ns(0xF, 0xE), 64'000'000'000u);
}

TEST(CompletionTimeoutTest, UnsupportedOrReservedValuesGiveTheDefault) {
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0x9), 50'000'000u);  // range C not advertised
  EXPECT_EQ(completion_timeout_ns(ranges_a_b, 0xE), 50'000'000u);  // range D not advertised
  EXPECT_EQ(completion_timeout_ns(0x1, 0x5), 50'000'000u);         // range B not advertised
  for (uint16_t reserved : {0x3, 0x4, 0x7, 0x8, 0xB, 0xC, 0xF}) {
    EXPECT_EQ(completion_timeout_ns(0xF, reserved), 50'000'000u) << reserved;
  }
}

}  // namespace
}  // namespace zamsim
