// Names of assertion identifiers as the logs print them.
#pragma once

#include <string>

#include "vexo.h"

namespace vexo {

// "PHY.", "PHYLINK.", "CFG.", "EM.", "SYS.", "DLL.", "TXN."; empty outside 0-6.
const char* category_prefix(uint32_t category);

// The fixed-width text fields, read without running past their width when a caller
// filled them without a terminator.
std::string identifier_text(const VEXO_TEST_NUM_t& number);
std::string part_text(const char (&part)[5]);

// prefix + part1 "." part2 "#" part3 "." part4, e.g. "TXN.2.8#1.4".
std::string assertion_name(const VEXO_TEST_NUM_t& number);

// part1 "." part2 "." part3, the common head of the text-log assertion lines.
std::string dotted_parts(const VEXO_TEST_NUM_t& number);

}  // namespace vexo
