// Names of verdicts and the log levels that count as failures or errors.
#include "log_entry.h"

namespace zamsuite {

const char* verdict_name(verdict v) {
  switch (v) {
    case verdict::passed: return "passed";
    case verdict::failed: return "failed";
    case verdict::error: return "error";
    case verdict::not_run: return "not run";
  }
  return "?";
}

bool is_failure_level(const std::string& level) { return level == "FAILED" || level == "FAIL"; }

bool is_error_level(const std::string& level) { return level == "ABORT" || level == "ERROR"; }

}  // namespace zamsuite
