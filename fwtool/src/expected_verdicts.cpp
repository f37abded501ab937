// Reading the expected verdicts and the results list, and comparing them.
#include "expected_verdicts.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "catalogue.h"

namespace fwtool {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool is_verdict(const std::string& word) { return word == "Passed" || word == "Failed" || word == "Not Run"; }

// Every scripted case of the catalogue: "<category folder>/<script>" to its menu text.
const std::map<std::string, std::string>& menu_texts() {
  static const std::map<std::string, std::string> texts = [] {
    std::map<std::string, std::string> m;
    for (main_entry entry : {main_base, main_topology, main_bridges, main_aspm_l0s, main_aspm_l1, main_corner}) {
      const category& c = category_of(entry);
      for (const catalogue_case& k : c.cases) {
        if (!k.script.empty()) m[c.directory.substr(1) + "/" + k.script] = k.text;
      }
    }
    return m;
  }();
  return texts;
}

// "Case_13B_Non_Responsive_Device" for "BorderlineDeviceResponses/Case_13B_Non_Responsive_Device.test".
std::string case_name(const std::string& script) {
  std::string name = script.substr(script.rfind('/') + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

bool parse_expected(const std::string& text, std::vector<expected_case>* cases, std::string* error) {
  cases->clear();
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t colon = line.find(": ");
    const std::string verdict = colon == std::string::npos ? "" : line.substr(colon + 2, line.find(':', colon + 2) - colon - 2);
    if (colon == std::string::npos || !is_verdict(verdict)) {
      *error = "line " + std::to_string(number) + " is not \"<category>/<script>: <verdict>[: <reason>]\": " + line;
      return false;
    }
    cases->push_back({line.substr(0, colon), verdict});
  }
  return true;
}

std::vector<listed_result> last_results_list(const std::string& output) {
  std::vector<listed_result> results;
  std::istringstream in(output);
  std::string line;
  bool in_list = false;
  while (std::getline(in, line)) {
    if (line.find("Test Results") != std::string::npos) {
      results.clear();
      in_list = true;
      continue;
    }
    if (!in_list) continue;
    const std::string entry = trimmed(line);
    const std::size_t paren = entry.find(") ");
    const std::size_t colon = entry.find(':');
    const bool numbered = paren != std::string::npos && paren > 0 &&
                          entry.find_first_not_of("0123456789") == paren && colon != std::string::npos;
    if (!numbered || !is_verdict(entry.substr(paren + 2, colon - paren - 2))) {
      if (!results.empty()) in_list = false;  // the list ended
      continue;
    }
    results.push_back({trimmed(entry.substr(colon + 1)), entry.substr(paren + 2, colon - paren - 2)});
  }
  return results;
}

comparison compare_with_expected(const std::vector<expected_case>& expected, const std::vector<listed_result>& results) {
  comparison c;
  int passed = 0, failed = 0, not_run = 0, missing = 0, differing = 0;
  std::vector<bool> paired(results.size(), false);
  for (const expected_case& e : expected) {
    const auto known = menu_texts().find(e.script);
    const std::string text = known == menu_texts().end() ? "" : known->second;
    const std::string names = case_name(e.script) + " (\"" + text + "\")";
    if (text.empty()) {
      c.lines.push_back("  NOT IN THE CATALOGUE: " + e.script + ", expected " + e.verdict);
      ++differing;
      continue;
    }
    std::size_t i = 0;
    while (i < results.size() && (paired[i] || results[i].text != text)) ++i;
    if (i == results.size()) {
      c.lines.push_back("  NOT IN THE RESULTS:   " + names + ", expected " + e.verdict);
      ++missing;
      ++differing;
      continue;
    }
    paired[i] = true;
    const std::string& got = results[i].verdict;
    (got == "Passed" ? passed : got == "Failed" ? failed : not_run)++;
    if (got != e.verdict) {
      c.lines.push_back("  NOT AS EXPECTED:      " + names + ": " + got + ", expected " + e.verdict);
      ++differing;
    } else if (got != "Passed") {
      c.lines.push_back("  " + got + ", as expected: " + names);
    }
  }
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (paired[i]) continue;
    c.lines.push_back("  NOT EXPECTED:         \"" + results[i].text + "\": " + results[i].verdict);
    ++differing;
  }
  std::string count = std::to_string(expected.size()) + " cases: " + std::to_string(passed) + " passed, " +
                      std::to_string(failed) + " failed";
  if (not_run > 0) count += ", " + std::to_string(not_run) + " not run";
  if (missing > 0) count += ", " + std::to_string(missing) + " missing";
  count += differing == 0 ? ", all as expected" : ", " + std::to_string(differing) + " not as expected";
  c.lines.push_back(count);
  c.as_expected = differing == 0;
  return c;
}

}  // namespace fwtool
