// The DUT behind the card: completer and requester IDs, Unsupported Request for the
// functions it lacks, and the fault options that change the transaction layer.
#include "dut/dut_device.h"

#include <gtest/gtest.h>

#include "link/link_test_support.h"

namespace zamsim {
namespace {

using DutDeviceTest = LinkStationTest;

TEST_F(DutDeviceTest, CompletionsCarryTheCompleterAndRequesterIds) {
  const auto trace = exchange();
  ASSERT_EQ(trace.size(), 4u);
  // CfgRd0 from the root complex (requester 00:00.0), CplD from 03:00.0 to 00:00.0.
  EXPECT_EQ(trace[0].substr(0, 23), "TLP  04 00 00 01 00 00 ");
  EXPECT_EQ(trace[2].substr(0, 43), "TLP  4a 00 00 01 03 00 00 04 00 00 " + trace[0].substr(23, 2) + " 00 cd");
}

TEST_F(DutDeviceTest, AFunctionItLacksCompletesWithUnsupportedRequest) {
  enable_error_reporting();
  arm();
  EXPECT_EQ(read_dut(0, 1), 0xFFFFFFFFu);  // what the host reads of a UR completion
  disarm();
  const auto trace = trace_lines();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[0].substr(0, 40), "TLP  04 00 00 01 00 00 " + trace[0].substr(23, 2) + " 0f 03 01 00 00");
  // Cpl without data from 03:00.1, status 001b.
  EXPECT_EQ(trace[2].substr(0, 29), "TLP  0a 00 00 00 03 01 20 04 ");
  EXPECT_EQ(device_status() & 0xF, 0x8);  // Unsupported Request Detected
  EXPECT_EQ(uncorrectable_status(), 1u << 20);
  EXPECT_EQ(read_dut(), 0x0020ABCDu);  // function 0 still answers
}

TEST_F(DutDeviceTest, FaultNamesAreParsedExactly) {
  dut_faults f;
  std::string error;
  EXPECT_TRUE(parse_dut_faults(" no-replay-timer ,wrong-completer-id,, trains-narrow", f, error)) << error;
  EXPECT_TRUE(f.link.no_replay_timer);
  EXPECT_TRUE(f.wrong_completer_id);
  EXPECT_TRUE(f.trains_narrow);
  EXPECT_FALSE(f.link.no_replay_on_nak);
  EXPECT_FALSE(parse_dut_faults("no-replay-timer, No-Replay-On-Nak", f, error));
  EXPECT_EQ(error, "unknown fault \"No-Replay-On-Nak\"");
  EXPECT_EQ(dut_fault_names().size(), 16u);
  for (const auto& name : dut_fault_names()) EXPECT_TRUE(parse_dut_faults(name, f, error)) << name;
}

TEST_F(DutDeviceTest, EachTransactionFaultChangesOnlyItsBehaviour) {
  // wrong-completer-id: the completion names another function; the data is right.
  start("wrong-completer-id");
  auto trace = exchange();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[2].substr(0, 23), "TLP  4a 00 00 01 03 01 ");
  EXPECT_NE(trace[2].find("cd ab 20 00"), std::string::npos);

  // answers-missing-functions: function 1 answers as function 0 does, no UR.
  start("answers-missing-functions");
  enable_error_reporting();
  EXPECT_EQ(read_dut(0, 1), 0x0020ABCDu);
  EXPECT_EQ(device_status() & 0xF, 0);

  // no-error-messages: the status bits as usual, no ERR_COR on the link.
  start("no-error-messages");
  enable_error_reporting();
  program(fault_command::corrupt_lcrc, 1, 0x04, 1);
  trace = exchange();
  EXPECT_EQ(count(trace, "TLP  30"), 0);
  EXPECT_EQ(count(trace, "DLLP 10"), 1);
  EXPECT_EQ(correctable_status(), 1u << 6);
  EXPECT_EQ(device_status() & 0xF, 0x1);
}

}  // namespace
}  // namespace zamsim
