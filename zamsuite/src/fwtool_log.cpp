// Cases and check reports of the firmware test tool's main log.
#include "fwtool_log.h"

#include <cstdio>

namespace zamsuite {
namespace {

// How a log writes the start and the stop of a case: the firmware test tool's library writes
// "\n     Starting Test: NAME" and 27 asterisks, then "\n     Stopping Test: NAME     Number
// of: Fails (..."; the framework's plain-text log "Now Starting Test:NAME" and "Stopping Test
// [ NAME:\n     Number of: Fails (... ]".
struct case_markers {
  const char* start;         // at the start of a line, the name follows
  const char* start_suffix;  // after the name, before the line end
  const char* stop;          // the name follows
  const char* counts;        // after the name, up to "Fails ("
};

constexpr case_markers layouts[] = {
    {"     Starting Test: ", "***************************", "\n     Stopping Test: ", "     Number of: "},
    {"Now Starting Test:", "", "Stopping Test [ ", ":\n     Number of: "},
};

// The first `marker` at or after `from` that begins a line.
std::size_t find_at_line_start(const std::string& text, const std::string& marker, std::size_t from) {
  for (std::size_t pos = text.find(marker, from); pos != std::string::npos; pos = text.find(marker, pos + 1)) {
    if (pos == 0 || text[pos - 1] == '\n') return pos;
  }
  return std::string::npos;
}

// The layout of the log: the one whose start marker comes first.
const case_markers* layout_of(const std::string& text) {
  const case_markers* found = nullptr;
  std::size_t first = std::string::npos;
  for (const case_markers& m : layouts) {
    const std::size_t pos = find_at_line_start(text, m.start, 0);
    if (pos < first) {
      first = pos;
      found = &m;
    }
  }
  return found;
}

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
  const case_markers* m = layout_of(text);
  if (m == nullptr) return cases;
  const std::string start = m->start, suffix = m->start_suffix;
  std::size_t pos = find_at_line_start(text, start, 0);
  while (pos != std::string::npos) {
    case_result c;
    const std::size_t name_start = pos + start.size();
    const std::size_t name_end = text.find('\n', name_start);
    c.name = text.substr(name_start, name_end == std::string::npos ? std::string::npos : name_end - name_start);
    if (!suffix.empty() && c.name.size() >= suffix.size() &&
        c.name.compare(c.name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      c.name.resize(c.name.size() - suffix.size());
    }
    const std::size_t body_start = name_end == std::string::npos ? text.size() : name_end + 1;
    const std::string stop_text = m->stop + c.name + m->counts;
    const std::size_t stop = text.find(stop_text, body_start);
    const std::size_t next_start = find_at_line_start(text, start, body_start);
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
    std::sscanf(text.c_str() + stop + stop_text.size(), "Fails (%d); Aborts (%d); Warnings (%d)", &fails, &aborts,
                &warnings);
    c.exit_status = "fails " + std::to_string(fails) + ", aborts " + std::to_string(aborts);
    if (aborts > 0) {
      // The tool's aborts say that the case could not start (its log, script or driver): the
      // "No Config Requests Received" failure that follows does not judge the firmware.
      c.outcome = verdict::error;
      c.reason = "the case could not be run";
    } else if (fails > 0) {
      c.outcome = verdict::failed;
      c.reason = std::to_string(fails) + " failure(s) logged";
    } else {
      c.outcome = verdict::passed;
    }
    cases.push_back(std::move(c));
    pos = find_at_line_start(text, start, stop + stop_text.size());
  }
  return cases;
}

}  // namespace zamsuite
