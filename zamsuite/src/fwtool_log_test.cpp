// The firmware test tool's main log: one case per started test, verdicts from the stop counts,
// check reports split at their headings, a case the log ends inside.
#include "fwtool_log.h"

#include <gtest/gtest.h>

#include "platform/fs.h"

namespace zamsuite {
namespace {

TEST(FwtoolLogTest, CasesVerdictsAndCheckReports) {
  std::string text;
  ASSERT_TRUE(platform::read_file(ZAMSUITE_TESTDATA "/ORVENLog.txt", &text));
  const std::vector<case_result> cases = parse_fwtool_log(text);
  ASSERT_EQ(cases.size(), 5u);

  EXPECT_EQ(cases[0].name, "Base Case 1");
  EXPECT_EQ(cases[0].outcome, verdict::passed);
  ASSERT_EQ(cases[0].entries.size(), 1u);
  EXPECT_EQ(cases[0].entries[0].level, "INFO");
  EXPECT_EQ(cases[0].entries[0].text, "Attempt to read from test device timed out.\n");

  EXPECT_EQ(cases[1].name, "Bridge <Windows> & \"quotes\"");
  EXPECT_EQ(cases[1].outcome, verdict::failed);
  EXPECT_EQ(cases[1].exit_status, "fails 2, aborts 0");
  EXPECT_EQ(cases[1].reason, "2 failure(s) logged");
  ASSERT_EQ(cases[1].entries.size(), 3u);
  EXPECT_EQ(cases[1].entries[1].level, "FAIL");
  EXPECT_EQ(cases[1].entries[1].assertion, "BRIDGE MEM WINDOW FAILURE");
  EXPECT_EQ(cases[1].entries[1].text.substr(0, 26), "BRIDGE MEM WINDOW FAILURE\n");
  EXPECT_NE(cases[1].entries[1].text.find("Bridge Window Base: 0x90000000\n"), std::string::npos);
  EXPECT_EQ(cases[1].entries[2].assertion, "TEST FAILURE:  ASPM Left Enabled For A Device");
  EXPECT_NE(cases[1].entries[2].text.find("ASPM Val:\t3\n"), std::string::npos);

  EXPECT_EQ(cases[2].outcome, verdict::failed);
  ASSERT_EQ(cases[2].entries.size(), 2u);
  EXPECT_EQ(cases[2].entries[0].level, "ABORT");
  EXPECT_EQ(cases[2].entries[1].assertion, "No Config Requests Received");

  EXPECT_EQ(cases[3].outcome, verdict::not_run);
  EXPECT_EQ(cases[3].reason, "the case could not be run");

  EXPECT_EQ(cases[4].name, "Cut Short");
  EXPECT_EQ(cases[4].outcome, verdict::error);
  EXPECT_EQ(cases[4].reason, "the log ends inside this case (the tool did not finish it)");
  EXPECT_EQ(cases[4].entries.size(), 1u);
}

TEST(FwtoolLogTest, EmptyLogAndCaseRestartedBeforeItsStop) {
  EXPECT_TRUE(parse_fwtool_log("").empty());
  EXPECT_TRUE(parse_fwtool_log("just text\n").empty());
  const auto cases = parse_fwtool_log(
      "Now Starting Test:A\nNow Starting Test:B\nStopping Test [ B:\n     Number of: Fails (0); Aborts (0); "
      "Warnings (1) ]\n\n");
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].outcome, verdict::error);
  EXPECT_EQ(cases[1].outcome, verdict::passed);
}

}  // namespace
}  // namespace zamsuite
