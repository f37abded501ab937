// Cases and check reports of the firmware test tool's main log.
#include "fwtool_log.h"

#include <cstdio>

namespace zamsuite {
namespace {

const std::string start_marker = "Now Starting Test:";
const std::string stop_marker = "Stopping Test [ ";
const std::string counts_marker = ":\n     Number of: Fails (";

struct heading {
  const char* text;  // as the log writes it, without the leading line end
  const char* level;
};

// The headings that open a check report or an abort message of a case.
constexpr heading headings[] = {
    {"BRIDGE IO WINDOW FAILURE", "FAIL"},
    {"BRIDGE MEM WINDOW FAILURE", "FAIL"},
    {"BRIDGe MEM PREFETCH WINDOW FAILURE", "FAIL"},
    {"TEST FAILURE: IO Space Enable Does Not Have Correct Value", "FAIL"},
    {"TEST FAILURE: Memory Space Enable Does Not Have Correct Value", "FAIL"},
    {"TEST FAILURE:  ASPM Left Enabled For A Device", "FAIL"},
    {"Bar Overlap Failures", "FAIL"},
    {"At least one error occurred assigning bus numbers to bridge(s)", "FAIL"},
    {"No Config Requests Received", "FAIL"},
    {"Attempt to send completion to test device failed.", "FAIL"},
    {"Error initiating test logging.", "ABORT"},
    {"Error parsing test topology file.", "ABORT"},
    {"Error initializing test device driver.", "ABORT"},
};

// The heading at the start of the line at `pos`, or null.
const heading* heading_at(const std::string& text, std::size_t pos) {
  for (const heading& h : headings) {
    if (text.compare(pos, std::char_traits<char>::length(h.text), h.text) == 0) return &h;
  }
  return nullptr;
}

// Splits a case's text into entries at the headings; a report runs to the next heading.
std::vector<log_entry> split_reports(const std::string& body) {
  std::vector<log_entry> entries;
  std::size_t block_start = 0;
  const heading* block_heading = nullptr;
  const auto close_block = [&](std::size_t end) {
    const std::string text = body.substr(block_start, end - block_start);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return;
    if (block_heading) {
      entries.push_back({block_heading->level, block_heading->text, text});
    } else {
      entries.push_back({"INFO", {}, text});
    }
  };
  for (std::size_t line = 0; line < body.size();) {
    if (const heading* h = heading_at(body, line)) {
      close_block(line);
      block_start = line;
      block_heading = h;
    }
    const std::size_t end = body.find('\n', line);
    if (end == std::string::npos) break;
    line = end + 1;
  }
  close_block(body.size());
  return entries;
}

}  // namespace

std::vector<case_result> parse_fwtool_log(const std::string& text) {
  std::vector<case_result> cases;
  std::size_t pos = text.find(start_marker);
  while (pos != std::string::npos) {
    case_result c;
    const std::size_t name_start = pos + start_marker.size();
    const std::size_t name_end = text.find('\n', name_start);
    c.name = text.substr(name_start, name_end == std::string::npos ? std::string::npos : name_end - name_start);
    const std::size_t body_start = name_end == std::string::npos ? text.size() : name_end + 1;
    const std::size_t stop = text.find(stop_marker + c.name + counts_marker, body_start);
    const std::size_t next_start = text.find(start_marker, body_start);
    if (stop == std::string::npos || (next_start != std::string::npos && next_start < stop)) {
      const std::size_t end = next_start == std::string::npos ? text.size() : next_start;
      c.entries = split_reports(text.substr(body_start, end - body_start));
      c.outcome = verdict::error;
      c.exit_status = "unfinished";
      c.reason = "the log ends inside this case (the tool did not finish it)";
      cases.push_back(std::move(c));
      pos = next_start;
      continue;
    }
    c.entries = split_reports(text.substr(body_start, stop - body_start));
    int fails = 0, aborts = 0, warnings = 0;
    const std::size_t counts = stop + stop_marker.size() + c.name.size() + counts_marker.size() - 7;
    std::sscanf(text.c_str() + counts, "Fails (%d); Aborts (%d); Warnings (%d)", &fails, &aborts, &warnings);
    c.exit_status = "fails " + std::to_string(fails) + ", aborts " + std::to_string(aborts);
    if (fails > 0) {
      c.outcome = verdict::failed;
      c.reason = std::to_string(fails) + " failure(s) logged";
    } else if (aborts > 0) {
      c.outcome = verdict::not_run;
      c.reason = "the case could not be run";
    } else {
      c.outcome = verdict::passed;
    }
    cases.push_back(std::move(c));
    pos = text.find(start_marker, stop);
  }
  return cases;
}

}  // namespace zamsuite
