// A catalogue run's results list against the expected verdicts (fwtool/Tests/expected.txt),
// for a summary a person can check at a glance.
#pragma once

#include <string>
#include <vector>

namespace fwtool {

struct expected_case {
  std::string script;   // "<category folder>/<script file>", as the expected file names it
  std::string verdict;  // "Passed", "Failed", "Not Run"
};

struct listed_result {
  std::string text;     // the menu text, as the results list shows it
  std::string verdict;
};

// The expected file's cases: "<category>/<script>: <verdict>[: <reason>]" lines; comments
// (#) and blank lines are skipped. False with `error` naming the first malformed line.
bool parse_expected(const std::string& text, std::vector<expected_case>* cases, std::string* error);

// The entries of the last "Test Results" list in the tool's console output
// ("  N) <verdict>: <menu text>").
std::vector<listed_result> last_results_list(const std::string& output);

struct comparison {
  std::vector<std::string> lines;  // the cases worth a look (indented), the count line last
  bool as_expected = false;
};

// Pairs each expected case with its result through the catalogue (script to menu text) and
// names both for every case that failed, did not run or differs from what was expected.
comparison compare_with_expected(const std::vector<expected_case>& expected, const std::vector<listed_result>& results);

}  // namespace fwtool
