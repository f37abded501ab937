// vexomin's log texts as exact bytes: start and stop texts, assertion lines, no XML kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "golden.h"
#include "temp_folder.h"
#include "vexomin.h"

namespace {

VEXO_TEST_NUM_t number(const char* identifier) {
  VEXO_TEST_NUM_t n{};
  n.category = VEXO_TEST_CATEGORY_CFG;
  std::memcpy(n.identifier, identifier, std::min(std::strlen(identifier), sizeof n.identifier));
  std::strcpy(n.part1, "1");
  std::strcpy(n.part2, "2");
  std::strcpy(n.part3, "3");
  std::strcpy(n.part4, "4");
  return n;
}

void write_one_test(VEXO_LOG_HANDLE_t log) {
  const VEXO_TEST_NUM_t full = number("BUSNUMBERS");  // fills all ten characters
  const VEXO_TEST_NUM_t shorter = number("BAR");
  StartTest(log, "Bus Numbers");
  WriteToLog(log, VEXO_LOG_INFO, "Config request %d\n", 1);
  LogAssert(log, VEXO_LOG_FAIL, &full, "Subordinate bus number wrong\n");
  LogAssert(log, VEXO_LOG_WARNING, &shorter, "Window larger than needed\n");
  LogAssert(log, VEXO_LOG_SUCCESS, &shorter, "BAR placed\n");
  StopTest(log);
}

TEST(VexominLogTest, OnlyPlainTextAndConsoleKinds) {
  VEXO_LOG_HANDLE_t log = reinterpret_cast<VEXO_LOG_HANDLE_t>(0x1);
  EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_XML, "x.xml", VEXO_LOG_ACTION_CREATE),
            VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(log, nullptr);
  EXPECT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RESERVED, "x.log", 0), VEXO_STATUS_INVALID_PARAMETER);
}

TEST(VexominLogTest, PlainTextLogBytes) {
  vexo_test::temp_folder folder;
  const std::string path = folder.file("ORVENLog.txt");
  VEXO_LOG_HANDLE_t log = nullptr;
  ASSERT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, path.c_str(), 0), VEXO_STATUS_SUCCESS);
  write_one_test(log);
  write_one_test(log);  // no reset between tests: the file keeps both
  CloseLog(log);
  EXPECT_TRUE(vexo_test::matches_golden("raw_text_log.golden", vexo_test::read_file(path)));
}

TEST(VexominLogTest, ConsoleLogBytes) {
  vexo_test::temp_folder folder;
  const std::string path = folder.file("console.txt");
  VEXO_LOG_HANDLE_t log = nullptr;
  testing::internal::CaptureStderr();
  ASSERT_EQ(CreateLog(nullptr, &log, VEXO_LOG_TYPE_CONSOLE, path.c_str(), 0), VEXO_STATUS_SUCCESS);
  write_one_test(log);
  CloseLog(log);
  const std::string screen = vexo_test::console_text(testing::internal::GetCapturedStderr());
  EXPECT_TRUE(vexo_test::matches_golden("console_log_screen.golden", screen));
  EXPECT_TRUE(vexo_test::matches_golden("console_log_file.golden", vexo_test::read_file(path)));
}

}  // namespace
