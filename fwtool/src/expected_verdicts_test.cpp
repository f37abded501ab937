// The catalogue run's summary: the expected file and the results list read, every case paired
// through its menu text, both names shown where a case failed, did not run or differs.
#include "expected_verdicts.h"

#include <gtest/gtest.h>

#include "platform/fs.h"

namespace fwtool {
namespace {

const expected_case null_passes{"LegacyTestCases/Case_2_1_Null.test", "Passed"};
const expected_case silent_card_fails{"BorderlineDeviceResponses/Case_13B_Non_Responsive_Device.test", "Failed"};

TEST(ExpectedVerdicts, EachCaseIsPairedWithItsResultThroughTheCatalogue) {
  const struct {
    const char* what;
    std::vector<expected_case> expected;
    std::vector<listed_result> results;
    std::vector<std::string> lines;
    bool as_expected;
  } cases[] = {
      {"as expected, in any order",
       {null_passes, silent_card_fails},
       {{"Completely Non Responsive Test Card", "Failed"}, {"No Requests", "Passed"}},
       {"  Failed, as expected: Case_13B_Non_Responsive_Device (\"Completely Non Responsive Test Card\")",
        "2 cases: 1 passed, 1 failed, all as expected"},
       true},
      {"a verdict that differs",
       {null_passes, silent_card_fails},
       {{"No Requests", "Failed"}, {"Completely Non Responsive Test Card", "Failed"}},
       {"  NOT AS EXPECTED:      Case_2_1_Null (\"No Requests\"): Failed, expected Passed",
        "  Failed, as expected: Case_13B_Non_Responsive_Device (\"Completely Non Responsive Test Card\")",
        "2 cases: 0 passed, 2 failed, 1 not as expected"},
       false},
      {"a case that did not run, one missing, one nobody expected",
       {null_passes, silent_card_fails},
       {{"No Requests", "Not Run"}, {"Simple Requests", "Passed"}},
       {"  NOT AS EXPECTED:      Case_2_1_Null (\"No Requests\"): Not Run, expected Passed",
        "  NOT IN THE RESULTS:   Case_13B_Non_Responsive_Device (\"Completely Non Responsive Test Card\"), expected "
        "Failed",
        "  NOT EXPECTED:         \"Simple Requests\": Passed",
        "2 cases: 0 passed, 0 failed, 1 not run, 1 missing, 3 not as expected"},
       false},
      {"a not-run case expected so, a script the catalogue does not have",
       {{"LegacyTestCases/Case_2_2_Simple.test", "Not Run"}, {"LegacyTestCases/Case_9_9_Gone.test", "Passed"}},
       {{"Simple Requests", "Not Run"}},
       {"  Not Run, as expected: Case_2_2_Simple (\"Simple Requests\")",
        "  NOT IN THE CATALOGUE: LegacyTestCases/Case_9_9_Gone.test, expected Passed",
        "2 cases: 0 passed, 0 failed, 1 not run, 1 not as expected"},
       false},
  };
  for (const auto& c : cases) {
    const comparison got = compare_with_expected(c.expected, c.results);
    EXPECT_EQ(got.lines, c.lines) << c.what;
    EXPECT_EQ(got.as_expected, c.as_expected) << c.what;
  }
}

TEST(ExpectedVerdicts, TheLastResultsListOfTheConsoleOutputIsRead) {
  const std::string output =
      "===  ===\nTest Results\n  1) Failed:      Simple Requests\n\nChoose an entry: \n"
      "===  ===\nTest Results\n  1) Passed:    No Requests\n  2) Failed:      Completely Non Responsive Test Card\n"
      "  3) Not Run:  Simple Requests With Gaps\nChoose an entry: 1\n  4) Passed:    not a list entry\n";
  const std::vector<listed_result> results = last_results_list(output);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].text, "No Requests");
  EXPECT_EQ(results[0].verdict, "Passed");
  EXPECT_EQ(results[1].text, "Completely Non Responsive Test Card");
  EXPECT_EQ(results[1].verdict, "Failed");
  EXPECT_EQ(results[2].text, "Simple Requests With Gaps");
  EXPECT_EQ(results[2].verdict, "Not Run");
  EXPECT_TRUE(last_results_list("no list at all\n  1) Passed:    No Requests\n").empty());
}

TEST(ExpectedVerdicts, TheShippedExpectedFileNamesOnlyCataloguedCases) {
  std::string text;
  ASSERT_TRUE(platform::read_text_file(std::string(FWTOOL_CATALOGUE_DIR) + "/expected.txt", &text));
  std::vector<expected_case> expected;
  std::string error;
  ASSERT_TRUE(parse_expected(text, &expected, &error)) << error;
  ASSERT_EQ(expected.size(), 42u);
  EXPECT_EQ(expected.front().script, "LegacyTestCases/Case_2_1_Null.test");
  EXPECT_EQ(expected[11].script, "LegacyTestCases/Case_2_12_4_1GB_Mem32.test");
  EXPECT_EQ(expected[11].verdict, "Failed");  // a reason with colons follows
  // With no results, every case is missing and none is unknown to the catalogue.
  const comparison c = compare_with_expected(expected, {});
  ASSERT_EQ(c.lines.size(), 43u);
  for (std::size_t i = 0; i < 42; ++i) EXPECT_EQ(c.lines[i].rfind("  NOT IN THE RESULTS: ", 0), 0u) << c.lines[i];
  EXPECT_EQ(c.lines.back(), "42 cases: 0 passed, 0 failed, 42 missing, 42 not as expected");

  EXPECT_FALSE(parse_expected("# comment\n\nLegacyTestCases/Case_2_1_Null.test: Passd\n", &expected, &error));
  EXPECT_EQ(error, "line 3 is not \"<category>/<script>: <verdict>[: <reason>]\": LegacyTestCases/Case_2_1_Null.test: Passd");
}

}  // namespace
}  // namespace fwtool
