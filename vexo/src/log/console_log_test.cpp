// The console log: prefixed texts on standard error and in its file, counters and summary.
#include "log/console_log.h"

#include <gtest/gtest.h>

#include "golden.h"
#include "temp_folder.h"
#include "test_numbers.h"
#include "vexo.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using vexo_test::read_file;
using vexo_test::test_number;

class ConsoleLogTest : public ::testing::Test {
 protected:
  VEXO_LOG_HANDLE_t create(const char* file) {
    VEXO_LOG_HANDLE_t log = nullptr;
    EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_CONSOLE, file, VEXO_LOG_ACTION_CREATE),
              VEXO_STATUS_SUCCESS);
    return log;
  }

  vexo_test::temp_folder folder;
  std::string path = folder.file("console.log");
};

TEST_F(ConsoleLogTest, CountersStopTextAndSummary) {
  CaptureStderr();
  VEXO_LOG_HANDLE_t log = create(path.c_str());
  WriteToLog(log, VEXO_LOG_FAIL, "fail before the test is not counted\n");
  StartTest(log, "LinkTest");
  WriteToLog(log, VEXO_LOG_FAIL, "first fail\n");
  WriteToLog(log, VEXO_LOG_FAIL, "second fail\n");
  WriteToLog(log, VEXO_LOG_WARNING, "a warning\n");
  WriteToLog(log, VEXO_LOG_SUCCESS, "no prefix\n");
  WriteToLog(log, VEXO_LOG_ERROR, "error level\n");
  StopTest(log);
  CloseLog(log);
  const std::string console = vexo_test::console_text(GetCapturedStderr());

  EXPECT_NE(console.find("Fails (2); Aborts (0); Warnings (1) ]\n\n"), std::string::npos);
  EXPECT_TRUE(console.ends_with("INFO    Summary Log Counts [ Fails (2); Aborts (0); "
                                "Warnings (1) ]\n"));
  EXPECT_TRUE(vexo_test::matches_golden("console_log.golden", console));
  EXPECT_EQ(read_file(path), console) << "the file receives the same prefixed texts";
}

TEST_F(ConsoleLogTest, AssertionsAreCountedAndSwitchedOff) {
  CaptureStderr();
  VEXO_LOG_HANDLE_t log = create(nullptr);
  auto* console_log = static_cast<vexo::CVEXOLog*>(log);
  // Without a file the console alone is written, and that is a success.
  EXPECT_EQ(console_log->Write(VEXO_LOG_SUCCESS, ""), VEXO_STATUS_SUCCESS);
  const VEXO_TEST_NUM_t number = test_number(5, "3", "5", "2", "1");
  StartTest(log, "t");
  EXPECT_EQ(LogAssert(log, VEXO_LOG_FAIL, &number, "verdict\n"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(LogAssert(log, VEXO_LOG_ABORT, &number, "could not run\n"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(console_log->current_test().fails, 1);
  EXPECT_EQ(console_log->current_test().aborts, 1);
  DisableLogging(log);
  LogAssert(log, VEXO_LOG_FAIL, &number, "hidden\n");
  EXPECT_EQ(console_log->current_test().fails, 1);
  EnableLogging(log);
  WriteToLog(log, VEXO_LOG_INFO, "counted as information\n");
  EXPECT_EQ(console_log->current_test().informations, 1);
  // A second start while in a test renames the record; counters run on.
  StartTest(log, "renamed");
  EXPECT_EQ(console_log->tests_started(), 2u);
  EXPECT_EQ(console_log->current_test().name, "renamed");
  EXPECT_EQ(console_log->current_test().fails, 1);
  StopTest(log);
  // Started but not stopped: not in the summary.
  StartTest(log, "unfinished");
  WriteToLog(log, VEXO_LOG_FAIL, "x\n");
  CloseLog(log);
  const std::string console = vexo_test::console_text(GetCapturedStderr());
  EXPECT_NE(console.find("FAIL    CFG 3.5.2 : verdict\n"), std::string::npos) << console;
  EXPECT_NE(console.find("ABORT   CFG 3.5.2 : could not run\n"), std::string::npos);
  EXPECT_EQ(console.find("hidden"), std::string::npos);
  EXPECT_NE(console.find("Stopping Test [ renamed:\n     Number of: Fails (1); Aborts (1); "
                         "Warnings (0) ]\n\n"),
            std::string::npos);
  EXPECT_TRUE(console.ends_with("Summary Log Counts [ Fails (1); Aborts (1); Warnings (0) ]\n"));
}

TEST_F(ConsoleLogTest, StopWhileIdleAppendsAnEmptyRecord) {
  CaptureStderr();
  VEXO_LOG_HANDLE_t log = create(nullptr);
  EXPECT_EQ(StopTest(log), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(static_cast<vexo::CVEXOLog*>(log)->finished_tests().size(), 1u);
  EXPECT_EQ(static_cast<vexo::CVEXOLog*>(log)->Reset(), VEXO_STATUS_SUCCESS);
  CloseLog(log);
  EXPECT_EQ(GetCapturedStderr(),
            "INFO    Stopping Test [ :\n     Number of: Fails (0); Aborts (0); Warnings (0) ]\n\n"
            "INFO    Summary Log Counts [ Fails (0); Aborts (0); Warnings (0) ]\n");
}

}  // namespace
