// Totals of a report and writing a report file.
#include <fstream>

#include "report.h"

namespace zamsuite {

report_counts count_cases(const suite_report& report) {
  report_counts counts;
  for (const case_result& c : report.cases) {
    counts.seconds += c.seconds;
    switch (c.outcome) {
      case verdict::passed: ++counts.passed; break;
      case verdict::failed: ++counts.failed; break;
      case verdict::error: ++counts.errors; break;
      case verdict::not_run: ++counts.not_run; break;
    }
  }
  return counts;
}

bool write_report(const std::string& path, const std::string& text, std::string* reason) {
  std::ofstream out(path, std::ios::trunc);  // text mode: CR LF line ends on Windows
  out << text;
  out.close();
  if (!out) {
    if (reason) *reason = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace zamsuite
