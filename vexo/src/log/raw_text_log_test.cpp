// The plain-text log: exact file bytes, write failures and reset.
#include "log/raw_text_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "golden.h"
#include "platform/output_file.h"
#include "temp_folder.h"
#include "test_numbers.h"
#include "vexo.h"

namespace {

using vexo_test::read_file;
using vexo_test::test_number;

class RawTextLogTest : public ::testing::Test {
 protected:
  VEXO_LOG_HANDLE_t create(const char* file) {
    VEXO_LOG_HANDLE_t log = nullptr;
    EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, file, VEXO_LOG_ACTION_CREATE),
              VEXO_STATUS_SUCCESS);
    return log;
  }

  vexo_test::temp_folder folder;
  std::string path = folder.file("test.log");
};

TEST_F(RawTextLogTest, ExactBytesAcrossTwoTestsKeptAfterStop) {
  vexo_test::write_file(path, "earlier run\n");  // always appended to
  VEXO_LOG_HANDLE_t log = create(path.c_str());
  const VEXO_TEST_NUM_t em = test_number(3, "1", "2", "3", "4");

  WriteToLog(log, VEXO_LOG_FAIL, "before any test\n");
  StartTest(log, "FirstTest");
  WriteToLog(log, VEXO_LOG_FAIL, "fail %d\n", 1);
  WriteToLog(log, VEXO_LOG_ABORT, "abort\n");
  WriteToLog(log, VEXO_LOG_WARNING, "warning\n");
  WriteToLog(log, VEXO_LOG_INFO, "info\n");
  EXPECT_EQ(LogAssert(log, VEXO_LOG_FAIL, &em, "checked\n"), VEXO_STATUS_SUCCESS);
  StartTestCase(log, "case");
  StopTestCase(log);
  StopTest(log);
  // The file keeps everything, the stop text included.
  EXPECT_TRUE(read_file(path).ends_with("Warnings (1) ]\n\n"));
  StartTest(log, "SecondTest");
  LogAssert(log, VEXO_LOG_SUCCESS, &em, "passed\n");
  StopTest(log);
  CloseLog(log);

  EXPECT_TRUE(vexo_test::matches_golden("raw_text_log.golden", read_file(path)));
}

TEST_F(RawTextLogTest, AssertionsAreNotCountedNorSwitchedOff) {
  VEXO_LOG_HANDLE_t log = create(path.c_str());
  auto* raw = static_cast<vexo::CRawTextVEXOLog*>(log);
  const VEXO_TEST_NUM_t number = test_number(6, "2", "8", "1", "4");
  StartTest(log, "t");
  DisableLogging(log);
  WriteToLog(log, VEXO_LOG_FAIL, "hidden\n");
  LogAssert(log, VEXO_LOG_FAIL, &number, "shown\n");
  EXPECT_EQ(raw->current_test().fails, 0);
  EXPECT_EQ(read_file(path), "Now Starting Test:t\nCFG 2.8.1 : 4 : shown\n");
  CloseLog(log);
}

TEST_F(RawTextLogTest, FileProblemsAreReported) {
  // No file name: free text still succeeds, assertions say the log is not open; nothing
  // was asked of a file, so closing reports nothing lost.
  VEXO_LOG_HANDLE_t log = create(nullptr);
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_INFO, "x"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(LogAssert(log, VEXO_LOG_INFO, &number, "x"), VEXO_STATUS_LOG_NOT_OPEN);
  EXPECT_EQ(static_cast<vexo::CVEXOLog*>(log)->Reset(), VEXO_STATUS_LOG_NOT_OPEN);
  EXPECT_EQ(CloseLog(log), VEXO_STATUS_SUCCESS);
}

// A named file that does not open, or refuses its writes: a test cannot start on it (its
// start text is lost), closing reports the log as not kept, and standard error names the
// file and the reason once. Creation itself still succeeds, for both kinds with a file.
TEST_F(RawTextLogTest, LogThatCannotKeepItsTestSaysSoAtStartAndClose) {
  const std::string missing = folder.file("Logs/ORVENLog.txt");
  const std::string full = folder.file("full.log");  // writes fail as on a full disk
  struct file_case {
    VEXO_LOG_TYPE_t type;
    std::string file;
    VEXO_STATUS_t status;  // of StartTest, of a LogAssert and of CloseLog
    std::string message;
  } const cases[] = {
#ifndef _WIN32  // the system's own texts
      {VEXO_LOG_TYPE_RAW_TEXT, missing, VEXO_STATUS_LOG_NOT_OPEN,
       "VEXO :: LOG NOT OPEN: log file[" + missing + "] cannot be opened: No such file or directory\n"},
      {VEXO_LOG_TYPE_RAW_TEXT, "/dev/full", VEXO_STATUS_LOG_WRITE_ERROR,
       "VEXO :: LOG WRITE ERROR: log file[/dev/full] cannot be written: No space left on device\n"},
#endif
      {VEXO_LOG_TYPE_RAW_TEXT, full, VEXO_STATUS_LOG_WRITE_ERROR,
       "VEXO :: LOG WRITE ERROR: log file[" + full + "] cannot be written: No space left on device\n"},
      {VEXO_LOG_TYPE_CONSOLE, full, VEXO_STATUS_LOG_WRITE_ERROR,
       "VEXO :: LOG WRITE ERROR: log file[" + full + "] cannot be written: No space left on device\n"},
  };
  platform::set_file_fault_hook([&](platform::file_step step, const std::string& file) -> std::optional<std::string> {
    if (step == platform::file_step::write && file == full) return "No space left on device";
    return std::nullopt;
  });
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  for (const file_case& c : cases) {
    VEXO_LOG_HANDLE_t log = nullptr;
    testing::internal::CaptureStderr();
    ASSERT_EQ(CreateLog(nullptr, &log, c.type, c.file.c_str(), VEXO_LOG_ACTION_CREATE), VEXO_STATUS_SUCCESS);
    const VEXO_STATUS_t started = StartTest(log, "t");
    const VEXO_STATUS_t asserted = LogAssert(log, VEXO_LOG_FAIL, &number, "x\n");
    const VEXO_STATUS_t closed = CloseLog(log);
    std::string said = testing::internal::GetCapturedStderr();
    if (c.type == VEXO_LOG_TYPE_CONSOLE) {
      // The console still shows everything; only the file copy is lost.
      EXPECT_EQ(started, VEXO_STATUS_SUCCESS);
      EXPECT_EQ(asserted, VEXO_STATUS_SUCCESS);
      const std::string shown = "INFO    Now Starting Test:t\n";
      EXPECT_EQ(said.substr(0, shown.size()), shown);
      said = said.substr(shown.size(), c.message.size());
    } else {
      EXPECT_EQ(started, c.status) << c.file;
      EXPECT_EQ(asserted, c.status) << c.file;
    }
    EXPECT_EQ(closed, c.status) << c.file;
    EXPECT_EQ(said, c.message) << c.file;
  }
  platform::set_file_fault_hook(nullptr);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(RawTextLogTest, ResetEmptiesTheFile) {
  VEXO_LOG_HANDLE_t log = create(path.c_str());
  auto* raw = static_cast<vexo::CRawTextVEXOLog*>(log);
  WriteToLog(log, VEXO_LOG_INFO, "gone");
  EXPECT_EQ(raw->Reset(), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(read_file(path), "");
  WriteToLog(log, VEXO_LOG_INFO, "kept");
  CloseLog(log);
  EXPECT_EQ(read_file(path), "kept");
}

}  // namespace
