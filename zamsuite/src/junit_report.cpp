// The JUnit XML report (the shape Jenkins and GitLab read); failures come from assertion entries.
#include <cstdio>
#include <sstream>

#include "markup.h"
#include "report.h"

namespace zamsuite {
namespace {

std::string seconds_text(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
  return buffer;
}

std::string first_line(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return {};
  const std::size_t end = text.find_first_of("\r\n", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A failure or error element for one log entry.
void write_entry_element(std::ostringstream& out, const char* element, const log_entry& e) {
  const std::string label = e.assertion.empty() ? e.level : e.assertion;
  out << "      <" << element << " message=\"" << escape_attribute(label + ": " + first_line(e.text))
      << "\" type=\"" << escape_attribute(e.level) << "\">" << escape_text(e.text) << "</" << element << ">\n";
}

std::string entries_listing(const case_result& c) {
  std::ostringstream out;
  for (const log_entry& e : c.entries) {
    out << "[" << e.level << "]" << (e.assertion.empty() ? "" : " " + e.assertion) << "\n" << e.text;
    if (!e.text.empty() && e.text.back() != '\n') out << "\n";
  }
  return out.str();
}

void write_case(std::ostringstream& out, const std::string& suite, const case_result& c) {
  out << "    <testcase name=\"" << escape_attribute(c.name) << "\" classname=\"" << escape_attribute(suite)
      << "\" time=\"" << seconds_text(c.seconds) << "\">\n";
  if (c.outcome == verdict::not_run) {
    out << "      <skipped message=\"" << escape_attribute(c.reason) << "\"/>\n";
  }
  bool reported = false;
  if (c.outcome == verdict::error) {
    out << "      <error message=\"" << escape_attribute(c.reason) << "\" type=\"" << escape_attribute(c.exit_status)
        << "\">" << escape_text(c.output) << "</error>\n";
    reported = true;
  }
  for (const log_entry& e : c.entries) {
    if (!e.assertion.empty() && is_error_level(e.level) && c.outcome != verdict::passed) {
      write_entry_element(out, "error", e);
      reported = true;
    }
  }
  for (const log_entry& e : c.entries) {
    if (!e.assertion.empty() && is_failure_level(e.level) && c.outcome != verdict::passed) {
      write_entry_element(out, "failure", e);
      reported = true;
    }
  }
  // A verdict that failed with no FAILED assertion was decided by a check that logs its failure
  // as a WARNING: those entries are its failures.
  const bool decided_by_warnings = c.outcome == verdict::failed && !reported;
  for (const log_entry& e : c.entries) {
    if (decided_by_warnings && !e.assertion.empty() && e.level == "WARNING") {
      write_entry_element(out, "failure", e);
      reported = true;
    }
  }
  if (c.outcome == verdict::failed && !reported) {
    out << "      <failure message=\"" << escape_attribute(c.reason) << "\" type=\"" << escape_attribute(c.exit_status)
        << "\"/>\n";
  }
  out << "      <system-out>" << escape_text(entries_listing(c)) << "</system-out>\n";
  if (!c.output.empty()) out << "      <system-err>" << escape_text(c.output) << "</system-err>\n";
  out << "    </testcase>\n";
}

}  // namespace

std::string junit_xml(const suite_report& report) {
  const report_counts counts = count_cases(report);
  const std::string totals = " tests=\"" + std::to_string(report.cases.size()) + "\" failures=\"" +
                             std::to_string(counts.failed) + "\" errors=\"" + std::to_string(counts.errors) +
                             "\" skipped=\"" + std::to_string(counts.not_run) + "\" time=\"" +
                             seconds_text(counts.seconds) + "\"";
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<testsuites name=\"" << escape_attribute(report.name) << "\"" << totals << ">\n";
  out << "  <testsuite name=\"" << escape_attribute(report.name) << "\"" << totals << " timestamp=\""
      << escape_attribute(report.timestamp) << "\">\n";
  out << "    <properties>\n      <property name=\"subject\" value=\"" << escape_attribute(report.subject)
      << "\"/>\n    </properties>\n";
  for (const case_result& c : report.cases) write_case(out, report.name, c);
  out << "  </testsuite>\n</testsuites>\n";
  return out.str();
}

}  // namespace zamsuite
