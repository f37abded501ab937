// The firmware test tool's main log: one case per started test, verdicts from the stop counts,
// check reports split at their headings, a case the log ends inside. fwtool_ORVENLog.txt is
// the log fwtool wrote for four command-line cases on the lab's system under test: a pass, a
// script that does not exist, an ASPM fault and a bridge window fault (named with markup).
#include "fwtool_log.h"

#include <gtest/gtest.h>

#include "platform/fs.h"

namespace zamsuite {
namespace {

TEST(FwtoolLogTest, TheToolsOwnLog) {
  std::string text;
  ASSERT_TRUE(platform::read_file(ZAMSUITE_TESTDATA "/fwtool_ORVENLog.txt", &text));
  std::vector<case_result> cases = parse_fwtool_log(text);
  ASSERT_EQ(cases.size(), 4u);

  EXPECT_EQ(cases[0].name, "Case_2_2_Simple.test");
  EXPECT_EQ(cases[0].outcome, verdict::passed);
  EXPECT_EQ(cases[0].exit_status, "fails 0, aborts 0");
  EXPECT_TRUE(cases[0].entries.empty());

  // The script did not parse: the firmware was not judged.
  EXPECT_EQ(cases[1].name, "Missing Script");
  EXPECT_EQ(cases[1].outcome, verdict::error);
  EXPECT_EQ(cases[1].exit_status, "fails 1, aborts 1");
  EXPECT_EQ(cases[1].reason, "the case could not be run");
  ASSERT_EQ(cases[1].entries.size(), 2u);
  EXPECT_EQ(cases[1].entries[0].level, "ABORT");
  EXPECT_EQ(cases[1].entries[0].text, "Error parsing test topology file.\n");
  EXPECT_EQ(cases[1].entries[1].level, "FAIL");
  EXPECT_EQ(cases[1].entries[1].text, "No Config Requests Received\n");

  EXPECT_EQ(cases[2].name, "Case_9_1_ASPM_L1_Single_Device_Mismatch.test");
  EXPECT_EQ(cases[2].outcome, verdict::failed);
  EXPECT_EQ(cases[2].reason, "1 failure(s) logged");
  ASSERT_EQ(cases[2].entries.size(), 1u);
  EXPECT_EQ(cases[2].entries[0].assertion, "TEST FAILURE:  ASPM Left Enabled For A Device");
  EXPECT_EQ(cases[2].entries[0].text,
            "TEST FAILURE:  ASPM Left Enabled For A Device:\nBus: 1\tDevice: 0\tFunction: 0\nASPM Val:\t2\n"
            "Device Name In Script:\tScript Device 1\n\n");

  EXPECT_EQ(cases[3].name, "Bridge <Mem32> & \"quoted\"");
  EXPECT_EQ(cases[3].outcome, verdict::failed);
  ASSERT_EQ(cases[3].entries.size(), 1u);
  EXPECT_EQ(cases[3].entries[0].assertion, "BRIDGE MEM WINDOW FAILURE");
  EXPECT_NE(cases[3].entries[0].text.find("Bar End Address: 0x800fffff\n"), std::string::npos);

  // Cut inside the last case, as when the tool was killed.
  cases = parse_fwtool_log(text.substr(0, text.find("Bar Location")));
  ASSERT_EQ(cases.size(), 4u);
  EXPECT_EQ(cases[3].outcome, verdict::error);
  EXPECT_EQ(cases[3].exit_status, "unfinished");
}

TEST(FwtoolLogTest, TheFrameworksPlainTextLog) {
  std::string text;
  ASSERT_TRUE(platform::read_file(ZAMSUITE_TESTDATA "/framework_text_log.txt", &text));
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

  EXPECT_EQ(cases[2].outcome, verdict::error);  // aborted: its failure does not judge the firmware
  ASSERT_EQ(cases[2].entries.size(), 2u);
  EXPECT_EQ(cases[2].entries[0].level, "ABORT");
  EXPECT_EQ(cases[2].entries[1].assertion, "No Config Requests Received");

  EXPECT_EQ(cases[3].outcome, verdict::error);
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

  // The tool's layout: a name that ends in an asterisk of its own keeps it.
  const auto tool_cases = parse_fwtool_log(
      "\n     Starting Test: A****************************\n\n     Starting Test: B***************************\n"
      "\n     Stopping Test: B     Number of: Fails (0); Aborts (0); Warnings (0)\n\n");
  ASSERT_EQ(tool_cases.size(), 2u);
  EXPECT_EQ(tool_cases[0].name, "A*");
  EXPECT_EQ(tool_cases[0].outcome, verdict::error);
  EXPECT_EQ(tool_cases[1].name, "B");
  EXPECT_EQ(tool_cases[1].outcome, verdict::passed);
}

}  // namespace
}  // namespace zamsuite
