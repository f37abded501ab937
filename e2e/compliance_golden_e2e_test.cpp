// The twelve data-link programs and the two transaction card programs against the compliant
// DUT of the lab's default station, each on a fresh lab: exit 0, and the XML log entry for
// entry as in e2e/golden/<program>.xml (time stamps, machine figures and trace words masked).
// VEXO_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "golden.h"
#include "lab_fixture.h"
#include "log_masks.h"

namespace e2e {
namespace {

class ComplianceGolden : public LabTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ComplianceGolden, PassesTheCompliantDutWithTheLogEntriesInOrder) {
  const std::string program = GetParam();
  start_lab("default.station");
  const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
  const std::string log = folder_ + "/" + program + ".xml";
  int code = -1;
  // Prompts go to the lab's virtual operator; fixed waits are scaled (the lab runs in virtual time).
  const std::string out = capture("cd " + bin + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 ZAMSIM_SOCKET=" + socket_ +
                                      " ./" + program + " -d " +
                                      std::string(SAMPLE_DAT) + " -l " + log + " 2>&1",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  const std::string text = slurp(log);
  EXPECT_NE(text.find("status = \"SUCCESS\""), std::string::npos) << text;
  EXPECT_TRUE(vexo_test::matches_golden(program + ".xml",
                                        mask_trace_words(vexo_test::mask_machine_numbers(text))));
}

INSTANTIATE_TEST_SUITE_P(
    CardPrograms, ComplianceGolden,
    ::testing::Values("LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack",
                      "UndefinedDLLPEncoding_EP_USW", "ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW",
                      "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW", "ReservedFieldsDLLPReceive_EP_USW",
                      "WrongSeqNumInAckDLLP_EP_USW", "CorruptedDLLPs_EP_USW", "DuplicateTLPSeqNum_EP_USW",
                      "BadLCRC_EP_USW", "TXN_BFT_CompletionTimeout_EP", "TXN_BFT_RequestCompletion_EP"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace e2e
