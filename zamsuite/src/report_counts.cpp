// Totals of a report and writing a report file.
#include "platform/output_file.h"
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
  std::string why;
  // Text mode: CR LF line ends on Windows.
  if (platform::write_whole_file(path, text, platform::output_kind::text, &why)) return true;
  if (reason) *reason = "cannot write " + path + ": " + why;
  return false;
}

}  // namespace zamsuite
