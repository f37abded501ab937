// The self-contained HTML report: inline style, no scripts, readable from a file.
#include <cstdio>
#include <sstream>

#include "markup.h"
#include "report.h"
#include "trace_view.h"

namespace zamsuite {
namespace {

// How many trace words the page shows of each program; the JUnit file has none.
constexpr std::size_t trace_excerpt_words = 64;

constexpr const char* style = R"(body{font-family:sans-serif;margin:1.5em;color:#222}
h1{font-size:1.4em}h2{font-size:1.15em;margin-top:2em;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:.5em 0}th,td{border:1px solid #ccc;padding:.25em .6em;text-align:left;vertical-align:top}
th{background:#eee}td.num{text-align:right}
.passed{background:#d8f3d8}.failed{background:#f8d0d0}.error{background:#f8e0b0}.not-run{background:#e4e4e4}
.lvl-FAILED,.lvl-FAIL{color:#a00;font-weight:bold}.lvl-ABORT,.lvl-ERROR{color:#a60;font-weight:bold}
.lvl-SUCCESS{color:#070}pre{margin:0;white-space:pre-wrap;font-family:monospace}
pre.trace{background:#f4f4f4;padding:.5em;columns:4 9em}
table.records td{font-family:monospace;padding:.1em .4em;white-space:nowrap}tr.counted{background:#fff3b0}tr.warn td{color:#b00}
tr.run{font-style:italic}tr.left-out td{color:#666;font-style:italic;text-align:center}
svg.timeline{font-family:monospace;font-size:12px;background:#fcfcfc;border:1px solid #ddd}
svg .lifeline{stroke:#888;stroke-width:2}svg .lifeline-name{font-family:sans-serif;font-weight:bold;text-anchor:middle}
svg line.packet{stroke:#246;stroke-width:1.5}svg polygon.packet{fill:#246}svg .label{text-anchor:middle;fill:#123}
svg line.warn{stroke:#c00}svg polygon.warn{fill:#c00}svg .label.warn{fill:#c00;font-weight:bold}
svg line.unknown{stroke:#777;stroke-dasharray:4 3}svg .when{fill:#555}svg rect.counted{fill:#fff3b0}
svg .gap{text-anchor:middle;fill:#666;font-style:italic}svg .replay{fill:none;stroke:#a0a;stroke-width:1.5;stroke-dasharray:5 3}
)";

std::string css_class(verdict v) { return v == verdict::not_run ? "not-run" : verdict_name(v); }

std::string anchor(std::size_t index) { return "case-" + std::to_string(index + 1); }

std::string seconds_text(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f s", seconds);
  return buffer;
}

void write_summary(std::ostringstream& out, const suite_report& report) {
  const report_counts counts = count_cases(report);
  out << "<p id=\"totals\">" << report.cases.size() << " cases: " << counts.passed << " passed, " << counts.failed
      << " failed, " << counts.errors << " errors, " << counts.not_run << " not run; " << seconds_text(counts.seconds)
      << "</p>\n";
  out << "<table id=\"summary\">\n<thead><tr><th>Program</th><th>Verdict</th><th>Time</th><th>Exit status</th>"
         "<th>Note</th></tr></thead>\n<tbody>\n";
  for (std::size_t i = 0; i < report.cases.size(); ++i) {
    const case_result& c = report.cases[i];
    out << "<tr class=\"" << css_class(c.outcome) << "\"><td><a href=\"#" << anchor(i) << "\">"
        << escape_text(c.name) << "</a></td><td class=\"verdict\">" << verdict_name(c.outcome)
        << "</td><td class=\"num\">" << seconds_text(c.seconds) << "</td><td>" << escape_text(c.exit_status)
        << "</td><td>" << escape_text(c.reason) << "</td></tr>\n";
  }
  out << "</tbody>\n</table>\n";
}

void write_trace(std::ostringstream& out, const case_result& c, trace_decoder decode) {
  if (c.trace_action_count < 0 && c.trace_words.empty()) return;
  out << "<h3>Trace buffer</h3>\n<p>";
  if (c.trace_action_count >= 0) out << "Action count " << c.trace_action_count << "; ";
  out << c.trace_words.size() << " words logged";
  if (decode != nullptr) {
    out << ".</p>\n";
    if (c.trace_words.empty()) return;
    // Each dump is a whole trace of its own, decoded and searched apart from the others.
    std::vector<std::size_t> starts = c.trace_dump_starts;
    if (starts.empty() || starts.front() != 0) starts.insert(starts.begin(), 0);
    const std::vector<trace_search> searches = program_searches(c.name);
    for (std::size_t d = 0; d < starts.size(); ++d) {
      const std::size_t end = d + 1 < starts.size() ? starts[d + 1] : c.trace_words.size();
      if (starts[d] > end || end > c.trace_words.size()) break;
      const std::vector<uint32_t> words(c.trace_words.begin() + static_cast<std::ptrdiff_t>(starts[d]),
                                        c.trace_words.begin() + static_cast<std::ptrdiff_t>(end));
      if (starts.size() > 1) {
        out << "<p class=\"dump\">Trace dump " << d + 1 << " of " << starts.size() << ": " << words.size()
            << (words.size() == 1 ? " word" : " words") << ".</p>\n";
      }
      const std::vector<zamtrace::decoded_record> records =
          words.empty() ? std::vector<zamtrace::decoded_record>{} : decode(trace_bytes(words));
      out << trace_section_html(records, count_searches(records, searches));
    }
    return;
  }
  if (c.trace_words.size() > trace_excerpt_words) out << ", the first " << trace_excerpt_words << " shown";
  out << ".</p>\n";
  if (c.trace_words.empty()) return;
  out << "<pre class=\"trace\">";
  for (std::size_t i = 0; i < c.trace_words.size() && i < trace_excerpt_words; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "0x%08x\n", c.trace_words[i]);
    out << word;
  }
  out << "</pre>\n";
}

void write_case(std::ostringstream& out, const case_result& c, std::size_t index, trace_decoder decode) {
  out << "<section class=\"case\" id=\"" << anchor(index) << "\">\n<h2>" << escape_text(c.name) << " <span class=\""
      << css_class(c.outcome) << "\">" << verdict_name(c.outcome) << "</span></h2>\n";
  if (!c.reason.empty()) out << "<p class=\"reason\">" << escape_text(c.reason) << "</p>\n";
  if (c.entries.empty()) {
    out << "<p>No log entries.</p>\n";
  } else {
    out << "<table class=\"entries\">\n<thead><tr><th>#</th><th>Level</th><th>Assertion</th><th>Text</th></tr>"
           "</thead>\n<tbody>\n";
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
      const log_entry& e = c.entries[i];
      out << "<tr><td class=\"num\">" << i + 1 << "</td><td class=\"lvl-" << escape_attribute(e.level) << "\">"
          << escape_text(e.level) << "</td><td>" << escape_text(e.assertion) << "</td><td><pre>"
          << escape_text(e.text) << "</pre></td></tr>\n";
    }
    out << "</tbody>\n</table>\n";
  }
  write_trace(out, c, decode);
  if (!c.output.empty()) out << "<h3>Console output</h3>\n<pre class=\"output\">" << escape_text(c.output) << "</pre>\n";
  out << "</section>\n";
}

}  // namespace

std::vector<uint8_t> trace_bytes(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes;
  bytes.reserve(words.size() * 4);
  for (const uint32_t w : words) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(w >> shift));
  }
  return bytes;
}

std::string html_page(const suite_report& report, trace_decoder decode) {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>"
      << escape_text(report.name) << " report</title>\n<style>\n" << style << "</style>\n</head>\n<body>\n";
  out << "<h1>" << escape_text(report.name) << " report</h1>\n<p>" << escape_text(report.subject) << "<br/>Started "
      << escape_text(report.timestamp) << "</p>\n";
  write_summary(out, report);
  for (std::size_t i = 0; i < report.cases.size(); ++i) write_case(out, report.cases[i], i, decode);
  out << "</body>\n</html>\n";
  return out.str();
}

}  // namespace zamsuite
