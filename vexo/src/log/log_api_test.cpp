// The exported log calls: handle checks, kinds, formatting bounds and dispatch rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "log/vexo_log.h"
#include "temp_folder.h"
#include "test_numbers.h"
#include "vexo.h"

namespace {

using vexo_test::read_file;

class LogApiTest : public ::testing::Test {
 protected:
  VEXO_LOG_HANDLE_t create(VEXO_LOG_TYPE_t type) {
    VEXO_LOG_HANDLE_t log = nullptr;
    EXPECT_EQ(CreateLog(nullptr, &log, type, path.c_str(), VEXO_LOG_ACTION_CREATE),
              VEXO_STATUS_SUCCESS);
    return log;
  }

  vexo_test::temp_folder folder;
  std::string path = folder.file("api.log");
};

TEST_F(LogApiTest, NullHandlesAndRefusedKinds) {
  const VEXO_TEST_NUM_t number = vexo_test::test_number(6, "1", "2", "3", "4");
  EXPECT_EQ(CreateLog(nullptr, nullptr, VEXO_LOG_TYPE_RAW_TEXT, "x", 0),
            VEXO_STATUS_INVALID_PARAMETER);
  VEXO_LOG_HANDLE_t log = reinterpret_cast<VEXO_LOG_HANDLE_t>(0x1);
  EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RESERVED, path.c_str(), 0),
            VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(log, nullptr);
  EXPECT_EQ(CreateLog(nullptr, &log, 42, path.c_str(), 0), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_FALSE(std::filesystem::exists(path));

  EXPECT_EQ(WriteToLog(nullptr, 0, "x"), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(EnableLogging(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(DisableLogging(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StartTest(nullptr, "t"), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StartTest(nullptr, "t", &number, 1, nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StopTest(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StartTestCase(nullptr, "c"), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StartTestCase(nullptr, "c", &number, 1), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(StopTestCase(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(LogAssert(nullptr, 0, &number, "m"), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(CloseLog(nullptr), VEXO_STATUS_SUCCESS);
}

TEST_F(LogApiTest, XmlOnlyCallsRefuseOtherKinds) {
  const VEXO_TEST_NUM_t number = vexo_test::test_number(6, "1", "2", "3", "4");
  for (VEXO_LOG_TYPE_t type : {VEXO_LOG_TYPE_RAW_TEXT, VEXO_LOG_TYPE_CONSOLE}) {
    testing::internal::CaptureStderr();
    VEXO_LOG_HANDLE_t log = create(type);
    EXPECT_EQ(StartTest(log, "t", &number, 1, nullptr), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(StartTestCase(log, "c", &number, 1), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(static_cast<vexo::CVEXOLog*>(log)->tests_started(), 0u);
    CloseLog(log);
    testing::internal::GetCapturedStderr();
  }
  VEXO_LOG_HANDLE_t xml = create(VEXO_LOG_TYPE_XML);
  const std::string before = read_file(path);
  EXPECT_EQ(StartTestCase(xml, "c", &number, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StartTestCase(xml, "c"), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(StopTestCase(xml), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(read_file(path), before) << "test cases change nothing";
  CloseLog(xml);
}

TEST_F(LogApiTest, LongTextIsCutAndPercentSignsPassUnchanged) {
  VEXO_LOG_HANDLE_t log = create(VEXO_LOG_TYPE_RAW_TEXT);
  const std::string long_text(5000, 'a');
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_INFO, "%s", long_text.c_str()), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(read_file(path), std::string(2047, 'a'));

  vexo_test::write_file(path, "");
  CloseLog(log);
  log = create(VEXO_LOG_TYPE_RAW_TEXT);
  EXPECT_EQ(WriteToLog(log, VEXO_LOG_INFO, "%s|%d%%", "100% of %s and %d", 5),
            VEXO_STATUS_SUCCESS);
  EXPECT_EQ(read_file(path), "100% of %s and %d|5%");
  CloseLog(log);
}

}  // namespace
