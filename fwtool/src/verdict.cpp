// Verdict texts of a case from its flags.
#include "run_settings.h"

namespace fwtool {

namespace {
constexpr uint32_t verdict_bits = flag_failed | flag_not_started | flag_read_failed | flag_read_aborted;
}

const char* verdict_text(uint32_t flags) {
  if ((flags & verdict_bits) == 0) return "Test Passed";
  return (flags & flag_failed) ? "Test Failed" : "Test Not Run";
}

const char* verdict_prefix(uint32_t flags) {
  if ((flags & verdict_bits) == 0) return "Passed:    ";
  return (flags & flag_failed) ? "Failed:      " : "Not Run:  ";
}

}  // namespace fwtool
