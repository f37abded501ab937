// Reads the firmware test tool's main log (plain text) into one case per catalogue case run.
#pragma once

#include <string>
#include <vector>

#include "log_entry.h"

namespace zamsuite {

// Each case runs from its start line ("     Starting Test: NAME***...", as the tool writes it,
// or "Now Starting Test:NAME" of a framework plain-text log) to its stop line ("     Stopping
// Test: NAME     Number of: Fails (...", or "Stopping Test [ NAME: ... ]"), whose counts give
// the verdict: aborts (the case could not start) -> error, else fails -> failed, else passed.
// A case the log ends inside is an error. Its text is split into the check reports (level FAIL, named
// after their heading), the tool's abort messages (ABORT) and other lines (INFO).
std::vector<case_result> parse_fwtool_log(const std::string& text);

}  // namespace zamsuite
