// The DUT's fault options of the lab against the twelve data-link programs and the two
// transaction card programs: each fault fails exactly the programs that should catch it (exit
// 6 and their FAILED verdict), every other program passes. Each run is on a fresh lab whose
// station names the fault; the lab's virtual operator answers the prompts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "lab_fixture.h"
#include "station_files.h"

namespace e2e {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const char* const programs[] = {
    "LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "UndefinedDLLPEncoding_EP_USW",
    "ReXmitOnNak_EP_USW",            "ReplayNumTest_EP_USW",                      "ReplayTimerTest_EP_USW",
    "ReplayTLPOrder_EP_USW",         "ReservedFieldsDLLPReceive_EP_USW",          "WrongSeqNumInAckDLLP_EP_USW",
    "CorruptedDLLPs_EP_USW",         "DuplicateTLPSeqNum_EP_USW",                 "BadLCRC_EP_USW",
    "TXN_BFT_CompletionTimeout_EP",  "TXN_BFT_RequestCompletion_EP",
};

// The programs each fault must fail.
const std::map<std::string, std::vector<std::string>> expected_failures = {
    {"no-replay-on-nak", {"ReXmitOnNak_EP_USW", "ReplayNumTest_EP_USW"}},
    {"no-replay-rollover", {"LinkRetrainOnRetryFail_EP_USW", "LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack"}},
    {"no-replay-timer",
     {"LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW",
      "UndefinedDLLPEncoding_EP_USW"}},
    {"accepts-bad-lcrc", {"BadLCRC_EP_USW"}},
    {"accepts-duplicates", {"DuplicateTLPSeqNum_EP_USW"}},
    {"ignores-bad-dllp", {"CorruptedDLLPs_EP_USW"}},
    {"reserved-dllp-bits-error", {"ReservedFieldsDLLPReceive_EP_USW"}},
    {"ignores-bogus-ack", {"WrongSeqNumInAckDLLP_EP_USW"}},
    {"early-rollover", {"ReplayNumTest_EP_USW"}},
    {"no-error-messages",
     {"LinkRetrainOnRetryFail_EP_USW", "ReplayTimerTest_EP_USW", "ReplayTLPOrder_EP_USW", "BadLCRC_EP_USW",
      "CorruptedDLLPs_EP_USW", "UndefinedDLLPEncoding_EP_USW", "WrongSeqNumInAckDLLP_EP_USW"}},
    {"short-completion-timeout", {"TXN_BFT_CompletionTimeout_EP"}},
    {"no-completion-timeout", {"TXN_BFT_CompletionTimeout_EP"}},
    {"wrong-completer-id", {"TXN_BFT_RequestCompletion_EP"}},
    {"answers-missing-functions", {"TXN_BFT_RequestCompletion_EP"}},
    {"trains-narrow", {}},
    {"zero-link-width", {"ReplayTLPOrder_EP_USW"}},
};

class ComplianceFaultMatrix : public LabTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ComplianceFaultMatrix, FailsExactlyTheProgramsThatShouldCatchTheFault) {
  const std::string fault = GetParam();
  const std::vector<std::string>& failures = expected_failures.at(fault);
  const std::string stations = std::filesystem::temp_directory_path() / ("fault_matrix_" + std::to_string(::getpid()));
  std::filesystem::create_directories(stations);
  const std::string station = station_with_fault("default", fault, stations);
  const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
  for (const char* program : programs) {
    start_lab(station);
    const std::string log = folder_ + "/" + program + ".xml";
    int code = -1;
    const std::string out =
        capture("cd " + bin + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=lab ZAMSIM_SOCKET=" + socket_ + " ./" + program + " -d " +
                    std::string(SAMPLE_DAT) + " -l " + log + " 2>&1",
                &code);
    const std::string text = slurp(log);
    const bool should_fail = std::find(failures.begin(), failures.end(), program) != failures.end();
    EXPECT_EQ(code, should_fail ? 6 : 0) << fault << " " << program << "\n" << out;
    // A failing program's verdict entry: FAILED, or a WARNING entry saying FAIL (the completion
    // timeout program writes some of its failures at that level).
    const bool verdict_found = should_fail ? text.find("status = \"FAILED\"") != std::string::npos ||
                                                 text.find("status = \"WARNING\">\nFAIL") != std::string::npos
                                           : text.find("status = \"SUCCESS\"") != std::string::npos;
    EXPECT_TRUE(verdict_found)
        << fault << " " << program;
    LabTest::TearDown();
    socket_.clear();
    folder_.clear();
  }
  std::filesystem::remove_all(stations);
}

std::vector<std::string> faults() {
  std::vector<std::string> names;
  for (const auto& [name, failures] : expected_failures) names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(DutFaults, ComplianceFaultMatrix, ::testing::ValuesIn(faults()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace e2e
