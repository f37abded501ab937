// What a DAT file sets, and which devices its DUT entries select.
#pragma once

#include <string>
#include <vector>

#include "vexo.h"

namespace vexoscan {

// The settings read from the DAT file, one "key: value" line each, and one line per DUT entry.
std::string dat_summary(const VEXO_DAT_INFO_t& dat);

// One warning per value of a DUT entry that selects by bus/device/function and cannot
// select a function as written: a bus beyond 255, a device beyond 31, a function beyond 7,
// or a field the entry leaves unset.
std::vector<std::string> dat_warnings(const VEXO_DAT_INFO_t& dat);

// For each DUT entry, FindDevice with its find flags as a test program calls it, and the
// function it selects (or "no device"). Returns the number of entries that selected nothing.
int report_dat_selection(VEXO_HANDLE_t framework, const VEXO_DAT_INFO_t& dat);

}  // namespace vexoscan
