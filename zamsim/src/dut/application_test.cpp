// The DUT's application and its completion timeout: the operator starts and stops it, its
// reads and writes fill every armed window, and a read whose completion the card delays
// past the timeout Device Control 2 sets (55 ms after the firmware's boot) times out.
#include <gtest/gtest.h>

#include "link/link_test_support.h"

namespace zamsim {
namespace {

class ApplicationTest : public LinkStationTest {
 protected:
  void start_application() {
    EXPECT_EQ(station_->operator_prompt("Test", "Please start an application the DUT supports, then press OK to continue",
                                        platform::buttons::ok_cancel),
              platform::answer::ok);
  }
  void stop_application() {
    station_->operator_prompt("Test", "Please stop the application you started before, then press OK to continue",
                              platform::buttons::ok_cancel);
  }
  // Arms the card with DELAY_TLP on the first TLP from the DUT (no mask, as the completion
  // timeout program programs it), lets the application run a round, disarms.
  std::vector<std::string> delayed_read(uint32_t microseconds_times_10) {
    const uint32_t units = static_cast<uint32_t>(uint64_t{microseconds_times_10} * 1000 / 8 / 10);
    program(fault_command::delay_tlp, 1, 0x00, 0, false, units);
    arm();
    station_->card_armed();
    start_application();
    disarm();
    return trace_lines();
  }
};

TEST_F(ApplicationTest, RoundsFillArmedWindowsWithReadsWritesAndCompletions) {
  const bdf dut = *station_->roles().dut;
  const std::string id = " 0" + std::to_string(dut.bus) + " 00 ";
  start_application();
  EXPECT_TRUE(link_->application_running());
  arm();
  station_->card_armed();
  disarm();
  auto trace = trace_lines();
  EXPECT_EQ(count(trace, "TLP  00 00 00 01" + id), 1) << ::testing::PrintToString(trace);  // MRd, DUT's ID
  EXPECT_EQ(count(trace, "TLP  40 00 00 01" + id), 1);                                     // MWr
  EXPECT_EQ(count(trace, "TLP  4a 00 00 01 00 00 00 04" + id), 1);  // CplD from the host to the DUT
  stop_application();
  arm();
  station_->card_armed();
  disarm();
  EXPECT_EQ(count(trace_lines(), "TLP "), 0);
}

TEST_F(ApplicationTest, CompletionTimeoutEdges) {
  enable_error_reporting();
  // 50.5 ms: the completion arrives in time; no status bit.
  auto trace = delayed_read(505'000);
  EXPECT_EQ(uncorrectable_status() & (1u << 14), 0u);
  EXPECT_EQ(device_status() & 0xF, 0);
  EXPECT_EQ(count(trace, "TLP  30"), 0);
  // 60.5 ms: timed out at 55 ms, reported as an advisory non-fatal error, read reissued.
  trace = delayed_read(605'000);
  EXPECT_EQ(uncorrectable_status() & (1u << 14), 1u << 14);
  EXPECT_EQ(correctable_status() & (1u << 13), 1u << 13);
  EXPECT_EQ(device_status() & 0xF, 0x1);  // Correctable Error Detected only
  EXPECT_EQ(count(trace, "TLP  30 00 00 00 03 00 00 30"), 1);
  // The running application's round at arming (its read delayed), the round the second
  // start prompt plays, and the reissue of the delayed read.
  EXPECT_EQ(count(trace, "TLP  00 00 00 01"), 3);
}

// The timeout follows Device Control 2's Completion Timeout Value: range A's 0010b (10 ms)
// times out a read delayed 15 ms, range B's 0110b (210 ms) lets one delayed 60.5 ms through,
// and 0000b gives 50 ms.
TEST_F(ApplicationTest, CompletionTimeoutFollowsDeviceControl2) {
  EXPECT_EQ(dut_register(pcie() + 0x28), 0x5u);  // range B, as the firmware programmed it
  const auto set_timeout_value = [&](uint8_t value) {
    const uint8_t control[2] = {value, 0};
    ASSERT_TRUE(station_->host_write(dut_, pcie() + 0x28, 2, control));
    ASSERT_EQ(dut_register(pcie() + 0x28), value);
  };
  const auto timed_out = [&](uint32_t microseconds_times_10) {
    delayed_read(microseconds_times_10);
    return (uncorrectable_status() & (1u << 14)) != 0;
  };
  enable_error_reporting();
  set_timeout_value(0x2);
  EXPECT_TRUE(timed_out(150'000));
  start("");
  enable_error_reporting();
  set_timeout_value(0x2);
  EXPECT_FALSE(timed_out(95'000));
  start("");
  enable_error_reporting();
  set_timeout_value(0x6);
  EXPECT_FALSE(timed_out(605'000));
  start("");
  enable_error_reporting();
  set_timeout_value(0x0);
  EXPECT_TRUE(timed_out(505'000));
  start("");
  enable_error_reporting();
  set_timeout_value(0x0);
  EXPECT_FALSE(timed_out(495'000));
}

TEST_F(ApplicationTest, CompletionTimeoutFaults) {
  start("short-completion-timeout");
  enable_error_reporting();
  delayed_read(100'000);  // 10 ms
  EXPECT_EQ(uncorrectable_status() & (1u << 14), 1u << 14);
  start("no-completion-timeout");
  enable_error_reporting();
  delayed_read(605'000);
  EXPECT_EQ(uncorrectable_status() & (1u << 14), 0u);
  EXPECT_EQ(device_status() & 0xF, 0);
}

}  // namespace
}  // namespace zamsim
