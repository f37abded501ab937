// Judging one compliance program run.
#include "program_verdict.h"

#include <algorithm>
#include <cstdio>

namespace zamsuite {
namespace {

// Exit codes as a person reads them: small ones in decimal; a whole 32-bit status, as a
// Windows program may end with (0x80000006, or an exception code such as 0xC0000005), in hex.
std::string exit_code_text(int code) {
  if (code >= 0 && code <= 255) return std::to_string(code);
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

// The status with which a program ends when a verdict failed (0x80000006); a POSIX exit
// status keeps its low byte.
constexpr int failed_status = static_cast<int>(0x80000006u);
constexpr int failed_status_low_byte = failed_status & 0xFF;

bool any_assertion(const program_log& log, bool (*test)(const std::string&)) {
  return std::any_of(log.entries.begin(), log.entries.end(),
                     [&](const log_entry& e) { return !e.assertion.empty() && test(e.level); });
}

// An entry at the level a program uses when a step of its test could not be carried out (a set-up
// step, the lab, the operator): an ABORT assertion or an ABORT free text.
bool any_abort(const program_log& log) {
  return std::any_of(log.entries.begin(), log.entries.end(), [](const log_entry& e) { return e.level == "ABORT"; });
}

void judge_finished(case_result& c, const process_end& end, const program_log& log) {
  c.exit_status = exit_code_text(end.exit_code);
  const bool failed_entry = any_assertion(log, is_failure_level);
  const bool aborted = any_abort(log);
  if (!log.found) {
    c.outcome = verdict::error;
    c.reason = "exited with " + c.exit_status + " and wrote no log";
  } else if (!log.complete) {
    c.outcome = verdict::error;
    c.reason = "exited with " + c.exit_status + "; its log is cut off";
  } else if (!log.test_started) {
    c.outcome = verdict::error;
    c.reason = "exited with " + c.exit_status + " before its test started (the set-up failed)";
  } else if (end.exit_code == 0) {
    const char* spoiler = aborted ? "an ABORT" : failed_entry ? "a FAILED" : any_assertion(log, is_error_level) ? "an ERROR" : nullptr;
    if (spoiler == nullptr) {
      c.outcome = verdict::passed;
      return;
    }
    c.outcome = failed_entry && !aborted ? verdict::failed : verdict::error;
    c.reason = std::string("exited with 0 but its log holds ") + spoiler + " verdict";
  } else if (aborted) {
    c.outcome = verdict::error;
    c.reason = "stopped with exit " + c.exit_status + " (a step could not be carried out)";
  } else if (end.exit_code == failed_status || end.exit_code == failed_status_low_byte || failed_entry) {
    // Whatever level its deciding entry has: some checks log their failure as a WARNING.
    c.outcome = verdict::failed;
    c.reason = "a verdict failed (exit " + c.exit_status + ")";
  } else {
    c.outcome = verdict::error;
    c.reason = "stopped with exit " + c.exit_status;
  }
}

}  // namespace

case_result judge_program(const std::string& name, const process_end& end, const program_log& log) {
  case_result c;
  c.name = name;
  c.seconds = end.seconds;
  c.entries = log.entries;
  c.trace_words = log.trace_words;
  c.trace_dump_starts = log.trace_dump_starts;
  c.trace_action_count = log.action_count;
  c.outcome = verdict::error;
  if (!end.started) {
    c.exit_status = "not started";
    c.reason = "could not be started: " + end.start_error;
  } else if (end.timed_out) {
    c.exit_status = "timed out";
    c.reason = "stopped after the time limit of " + std::to_string(end.timeout_s) + " s";
  } else if (end.stop_signal != 0) {
    c.exit_status = "stopped";
    c.reason = "stopped when zamsuite was asked to stop (signal " + std::to_string(end.stop_signal) + ")";
  } else if (end.signal != 0) {
    c.exit_status = "signal " + std::to_string(end.signal);
    c.reason = "crashed (signal " + std::to_string(end.signal) + ")";
  } else {
    judge_finished(c, end, log);
  }
  return c;
}

}  // namespace zamsuite
