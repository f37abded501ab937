// Reads the firmware test tool's main log (plain text) into one case per catalogue case run.
#pragma once

#include <string>
#include <vector>

#include "log_entry.h"

namespace zamsuite {

// Each case runs from "Now Starting Test:NAME" to its "Stopping Test [ NAME: ... ]" line, whose
// counts give the verdict: fails -> failed, else aborts -> not run, else passed. A case the
// log ends inside is an error. Its text is split into the check reports (level FAIL, named
// after their heading), the tool's abort messages (ABORT) and other lines (INFO).
std::vector<case_result> parse_fwtool_log(const std::string& text);

}  // namespace zamsuite
