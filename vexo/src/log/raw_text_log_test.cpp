// The plain-text log: exact file bytes, write failures and reset.
#include "log/raw_text_log.h"

#include <gtest/gtest.h>

#include "golden.h"
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
  // No file name: free text still succeeds, assertions say the log is not open.
  VEXO_LOG_HANDLE_t log = create(nullptr);
  const VEXO_TEST_NUM_t number = test_number(6, "1", "2", "3", "4");
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_INFO, "x"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(LogAssert(log, VEXO_LOG_INFO, &number, "x"), VEXO_STATUS_LOG_NOT_OPEN);
  EXPECT_EQ(static_cast<vexo::CVEXOLog*>(log)->Reset(), VEXO_STATUS_LOG_NOT_OPEN);
  CloseLog(log);

  // A device that refuses every write.
  log = create("/dev/full");
  ASSERT_TRUE(static_cast<vexo::CRawTextVEXOLog*>(log)->file_open());
  EXPECT_EQ(LogAssert(log, VEXO_LOG_INFO, &number, "x"), VEXO_STATUS_LOG_WRITE_ERROR);
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_INFO, "x"), VEXO_STATUS_SUCCESS);
  CloseLog(log);
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
