// The transaction-layer card programs against the lab: Cancel at each prompt that ends a run
// (scripted operator), and the DUT faults each program must catch.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"
#include "station_files.h"

namespace e2e {
namespace {

class TransactionPrograms : public LabTest {
 protected:
  // Runs the program on the default station (its DUT with a fault, when given) with the
  // operator's answers, one per line (none: the lab's virtual operator answers).
  int run(const std::string& program, const std::string& answers, const std::string& fault = "") {
    if (fault.empty()) {
      start_lab("default.station");
    } else {
      const std::string stations = std::filesystem::temp_directory_path() / ("txn_faults_" + std::to_string(::getpid()));
      std::filesystem::create_directories(stations);
      start_lab(station_with_fault("default", fault, stations));
      std::filesystem::remove_all(stations);
    }
    std::ofstream(folder_ + "/answers") << answers;
    const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
    int code = -1;
    const std::string answerer = answers.empty() ? "lab" : "script:" + folder_ + "/answers";
    output_ = capture("cd " + bin + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=" + answerer + " ZAMSIM_SOCKET=" + socket_ +
                          " ./" + program + " -d " + SAMPLE_DAT + " -l " + folder_ + "/run.xml 2>&1",
                      &code);
    log_ = slurp(folder_ + "/run.xml");
    return code;
  }
  std::string output_, log_;
};

TEST_F(TransactionPrograms, CancelAtTheCompletionTimeoutPromptsEndsWithInvalidParameter) {
  EXPECT_EQ(run("TXN_BFT_CompletionTimeout_EP", "Cancel\n"), 3) << output_;
  EXPECT_NE(log_.find("status = \"ABORT\">\nFAIL- User did not start an application the DUT supports</ASSERTTAG>"),
            std::string::npos)
      << log_;
  EXPECT_EQ(log_.find("START - Reading VendorID and DeviceID"), std::string::npos);
  TearDown();
  socket_.clear();

  EXPECT_EQ(run("TXN_BFT_CompletionTimeout_EP", "OK\nCancel\n"), 3) << output_;
  EXPECT_NE(log_.find("<INFO>\nSUCCESS - DISARMing ZAM\n</INFO>\n\n<ASSERTTAG assertion = \"TXN.5.3#2.0\" "
                      "status = \"ABORT\">\nFAIL- User did not stop the application the DUT supports</ASSERTTAG>"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("</VEXOTest>"), std::string::npos);
}

TEST_F(TransactionPrograms, CancelAtTheRequesterPromptFailsPhaseThree) {
  EXPECT_EQ(run("TXN_BFT_RequestCompletion_EP", "Cancel\n"), 6) << output_;
  EXPECT_NE(log_.find("SUCCESS - Phase 1. TXN_BFT_RequestCompletion_EP."), std::string::npos) << log_;
  EXPECT_NE(log_.find("<INFO>\nTXN_BFT_RequestCompletion. No app has been started. Exiting\n</INFO>"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("status = \"FAILED\">\nFAILURE - TXN_BFT_RequestCompletion. At least one of the  3 phases "
                      "of the test failed. \n"),
            std::string::npos);
}

TEST_F(TransactionPrograms, AWrongCompleterFailsPhaseOne) {
  EXPECT_EQ(run("TXN_BFT_RequestCompletion_EP", "OK\nOK\n", "wrong-completer-id"), 6) << output_;
  EXPECT_NE(log_.find("status = \"FAILED\">\nFAILED - Phase 1. TXN_BFT_RequestCompletion_EP. DUT BDF in "
                      "Completion Header does not match the values in the request\n"),
            std::string::npos)
      << log_;
}

TEST_F(TransactionPrograms, ADutAnsweringEveryFunctionFailsPhaseTwo) {
  EXPECT_EQ(run("TXN_BFT_RequestCompletion_EP", "OK\nOK\n", "answers-missing-functions"), 6) << output_;
  EXPECT_NE(log_.find("SUCCESS - Phase 1."), std::string::npos) << log_;
  EXPECT_EQ(log_.find("SUCCESS - Phase 2."), std::string::npos) << log_;
  EXPECT_NE(log_.find("<FAIL>\nFAIL- Expecting UnsupportedRequest bit to be set. \t\tValue of Device Status "
                      "Register(16-bit)[0x"),
            std::string::npos)
      << log_;

  // The compliant DUT passes the same two phases.
  TearDown();
  socket_.clear();
  run("TXN_BFT_RequestCompletion_EP", "OK\nOK\n");
  EXPECT_NE(log_.find("SUCCESS - Phase 1."), std::string::npos) << log_;
  EXPECT_NE(log_.find("SUCCESS - Phase 2."), std::string::npos) << log_;
}

TEST_F(TransactionPrograms, CompletionTimeoutsTooEarlyOrNeverFailTheRun) {
  // A DUT that times out after 5 ms fails at the 10 ms pass, and the passes after it are not run.
  EXPECT_EQ(run("TXN_BFT_CompletionTimeout_EP", "", "short-completion-timeout"), 6) << output_;
  // The lab's DUT reports the timeout as an advisory non-fatal error, so Correctable Error
  // Detected is what the pass sees first.
  EXPECT_NE(log_.find("status = \"WARNING\">\nFAIL - TXN_BFT_CompletionTimeout. Device Status Register[Correctable "
                      "Error detected set] ::for delay of [10000 us]\n"),
            std::string::npos)
      << log_;
  EXPECT_EQ(log_.find("[20000(ms)]"), std::string::npos);
  TearDown();
  socket_.clear();

  // A DUT that never times out fails the last pass.
  EXPECT_EQ(run("TXN_BFT_CompletionTimeout_EP", "", "no-completion-timeout"), 6) << output_;
  EXPECT_NE(log_.find("status = \"FAILED\">\nFAIL-TXN_BFT_CompletionTimeout. For timeout of[60000(ms)], completion "
                      "timeout status was not set\n"),
            std::string::npos)
      << log_;
}

}  // namespace
}  // namespace e2e
