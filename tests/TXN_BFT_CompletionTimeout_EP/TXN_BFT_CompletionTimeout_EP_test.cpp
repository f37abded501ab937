// TXN_BFT_CompletionTimeout_EP against the fake card: the request kind it finds, the delay
// records it programs, and a failed early pass failing the run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/skeleton_fixture.h"
#include "platform/operator.h"
#include "trace_builder.h"
#include "txn_programs.h"
#include "platform/process.h"

namespace zam_test {
namespace {

using vexo_test::trace_builder;

class CompletionTimeout : public SkeletonTest {
 protected:
  void SetUp() override {
    platform::set_environment("ZAM_TIME_SCALE", "0.0001");
    platform::set_environment("ZAM_OPERATOR", "auto");
    platform::reset_operator();
    // The DUT's 64-bit memory read, then the host's configuration read.
    fake.trace = trace_builder{}
                     .tlp({0x20, 0, 0, 1, 0x03, 0x00, 0x01, 0x0F, 0, 0, 0, 0, 0x80, 0, 0, 0})
                     .tlp({0x04, 0, 0, 1, 0, 0, 0, 0x0F, 0x03, 0, 0, 0})
                     .bytes;
    space.put32(dut_address, 0x100, 0x00010001);  // AER, last
  }
  void TearDown() override {
    platform::unset_environment("ZAM_TIME_SCALE");
    platform::unset_environment("ZAM_OPERATOR");
    platform::reset_operator();
  }
  int programmed() const {
    int n = 0;
    for (const auto& r : fake.requests) n += r.slot == "ProgramCommand";
    return n;
  }
  uint32_t programmed_delay() const {
    return fake.programmed[40] | (fake.programmed[41] << 8) | (fake.programmed[42] << 16) |
           (static_cast<uint32_t>(fake.programmed[43]) << 24);
  }
};

TEST_F(CompletionTimeout, ATimeoutAt40usFailsTheRunAndEndsThePasses) {
  space.put32(dut_address, 0x104, 1u << 14);
  EXPECT_EQ(TXN_BFT_CompletionTimeout_EP_program().body(run), 0x80000006u);
  EXPECT_EQ(programmed(), 2);  // the recording run and pass 1
  EXPECT_EQ(fake.programmed[1], VEXO_ZAM_CMD_DELAY_TLP);
  // Fmt and Type are both enabled, and Type decides: the 64-bit read counts as kind 1.
  EXPECT_EQ(fake.programmed[8], 0x00);
  EXPECT_EQ(fake.programmed[24], 0);    // no match mask
  EXPECT_EQ(programmed_delay(), 5000u);  // 40 us in 8 ns units
  const std::string log = log_text();
  EXPECT_NE(log.find("<INFO>\n::ZAM Trace buffer search for NP requests. At least one 32-bit "
                     "Memory read request found::</INFO>\n<INFO>\nSTART - DISARMing ZAM"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("status = \"FAILED\">\nFAIL - TXN_BFT_CompletionTimeout. Completion Timeout "
                     "status was set for delay of [40 us]\n</ASSERTTAG>"),
            std::string::npos);
}

TEST_F(CompletionTimeout, CorrectableErrorDetectedAtAnEarlyPassFailsTheRun) {
  set_express_registers(0, 0x0001);
  EXPECT_EQ(TXN_BFT_CompletionTimeout_EP_program().body(run), 0x80000006u);
  EXPECT_NE(log_text().find("status = \"WARNING\">\nFAIL - TXN_BFT_CompletionTimeout. Device Status "
                            "Register[Correctable Error detected set] ::for delay of [40 us]\n"),
            std::string::npos);
  // Before the pass, the completion timeout bit and Correctable Error Detected were cleared.
  bool cleared_timeout = false, cleared_detected = false;
  for (const auto& w : space.writes) {
    cleared_timeout |= w.offset == 0x104 && w.bytes == std::vector<uint8_t>{0, 0x40, 0, 0};
    cleared_detected |= w.offset == express_offset + 0x0A && w.bytes == std::vector<uint8_t>{1, 0};
  }
  EXPECT_TRUE(cleared_timeout);
  EXPECT_TRUE(cleared_detected);
}

TEST_F(CompletionTimeout, TheSweepRunsFivePassesAndJudgesTheLast) {
  // Never a timeout: every pass but the last passes; the last expects one and fails.
  EXPECT_EQ(TXN_BFT_CompletionTimeout_EP_program().body(run), 0x80000006u);
  EXPECT_EQ(programmed(), 8);
  EXPECT_EQ(programmed_delay(), 7562500u);  // 60.5 ms
  const std::string log = log_text();
  EXPECT_NE(log.find("SUCCESS- TXN_BFT_CompletionTimeout. Completion timeout status was not set "
                     "for delay of[50000(ms)]\n"),
            std::string::npos);
  EXPECT_NE(log.find("status = \"FAILED\">\nFAIL-TXN_BFT_CompletionTimeout. For timeout "
                     "of[60000(ms)], completion timeout status was not set\n"),
            std::string::npos);
}

TEST_F(CompletionTimeout, NoNonPostedRequestAndACancelledPrompt) {
  fake.trace = trace_builder{}.tlp({0x4A, 0, 0, 1, 0x03, 0, 0, 4, 0, 0, 0, 0}).bytes;
  EXPECT_EQ(TXN_BFT_CompletionTimeout_EP_program().body(run), 0x80000000u);
  EXPECT_NE(log_text().find("::Test to Operator. Since the DUT does not implement non-posted "
                            "requests, cannot continue the test::"),
            std::string::npos);

  const std::string answers = folder.file("answers");
  vexo_test::write_file(answers, "Cancel\n");
  platform::set_environment("ZAM_OPERATOR", "script:" + answers);
  platform::reset_operator();
  EXPECT_EQ(TXN_BFT_CompletionTimeout_EP_program().body(run), 0x80000003u);
  EXPECT_NE(log_text().find("status = \"ABORT\">\nFAIL- User did not start an application the DUT "
                            "supports</ASSERTTAG>"),
            std::string::npos);
}

}  // namespace
}  // namespace zam_test
