// catalogue-summary EXPECTED OUTPUT: the last results list of a catalogue run (fwtool's
// console output) against the expected verdicts; exits 0 when every case is as expected,
// 1 when one is not, 2 when a file cannot be read or holds no case.
#include <iostream>

#include "expected_verdicts.h"
#include "platform/fs.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: catalogue-summary <expected verdicts file> <fwtool console output>\n";
    return 2;
  }
  std::string expected_text, output, reason;
  std::vector<fwtool::expected_case> expected;
  if (!platform::read_text_file(argv[1], &expected_text, &reason) ||
      !platform::read_text_file(argv[2], &output, &reason)) {
    std::cerr << "catalogue-summary: " << reason << "\n";
    return 2;
  }
  if (!fwtool::parse_expected(expected_text, &expected, &reason) || expected.empty()) {
    std::cerr << "catalogue-summary: " << argv[1] << ": " << (reason.empty() ? "no case" : reason) << "\n";
    return 2;
  }
  const fwtool::comparison c = fwtool::compare_with_expected(expected, fwtool::last_results_list(output));
  for (const std::string& line : c.lines) std::cout << line << "\n";
  return c.as_expected ? 0 : 1;
}
