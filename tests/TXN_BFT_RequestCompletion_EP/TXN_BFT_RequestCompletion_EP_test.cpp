// TXN_BFT_RequestCompletion_EP against the fake card: all three phases passing, and a
// completion from another completer failing phase 2.
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

class RequestCompletion : public SkeletonTest {
 protected:
  void SetUp() override {
    platform::set_environment("ZAM_TIME_SCALE", "0.0001");
    platform::set_environment("ZAM_OPERATOR", "auto");
    platform::reset_operator();
    set_express_registers(0, 0x0008);  // Unsupported Request Detected
  }
  void TearDown() override {
    platform::unset_environment("ZAM_TIME_SCALE");
    platform::unset_environment("ZAM_OPERATOR");
    platform::reset_operator();
  }
  // An Unsupported Request completion from the DUT (3:0.0), then a memory read it sent.
  trace_builder dut_traffic() {
    trace_builder t;
    t.tlp({0x0A, 0, 0, 0, 0x03, 0x00, 0x20, 0x00, 0, 0, 0x01, 0x00});
    t.tlp({0x00, 0, 0, 1, 0x03, 0x00, 0x02, 0x0F, 0x80, 0, 0, 0});
    return t;
  }
};

TEST_F(RequestCompletion, AllThreePhasesPass) {
  fake.trace = dut_traffic().bytes;
  EXPECT_EQ(TXN_BFT_RequestCompletion_EP_program().body(run), VEXO_STATUS_SUCCESS);
  const std::string log = log_text();
  EXPECT_NE(log.find("SUCCESS - Phase 1."), std::string::npos);
  EXPECT_NE(log.find("SUCCESS - Phase 2. TXN_BFT_RequestCompletion. Verify_UR(). Found [1] "
                     "Unsupported Request completions\n"),
            std::string::npos);
  EXPECT_NE(log.find("SUCCESS - Phase 3."), std::string::npos);
  EXPECT_NE(log.find("status = \"SUCCESS\">\nSUCCESS - TXN_BFT_RequestCompletion. All 3 phases of "
                     "the test passed successfully\n"),
            std::string::npos);
}

TEST_F(RequestCompletion, ACompletionFromAnotherCompleterFailsPhaseTwo) {
  fake.trace = dut_traffic().tlp({0x0A, 0, 0, 0, 0x09, 0x00, 0x20, 0x00, 0, 0, 0x01, 0x00}).bytes;
  EXPECT_EQ(TXN_BFT_RequestCompletion_EP_program().body(run), 0x80000006u);
  const std::string log = log_text();
  EXPECT_NE(log.find("status = \"ABORT\">\nTXN_BFT_RequestCompletion_EP. BDF in Completer ID does "
                     "not match the BDF in the request\n"),
            std::string::npos);
  EXPECT_NE(log.find("FAILURE - TXN_BFT_RequestCompletion. At least one of the  3 phases of the "
                     "test failed. \n"),
            std::string::npos);
}

}  // namespace
}  // namespace zam_test
