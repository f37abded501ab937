// Reading the tool's ini file "ini/ORVENapp.ini" into the run settings.
#pragma once

#include <cstdio>
#include <string>

#include "run_settings.h"

namespace fwtool {

// The ini path below a folder: folder "/ini" "\" "ORVENapp.ini", as a native path.
std::string ini_path(const std::string& folder);

// Fills the settings from the ini keys. A number that does not parse or is negative
// keeps the default, with a warning on `warnings`.
void read_ini_settings(const std::string& path, run_settings& settings, std::FILE* warnings);

// The library file name of [DLL] DLLName ("Dll not found" when absent).
std::string read_dll_name(const std::string& path);

// A "%ld"-style number: optional blanks and sign, then digits; the rest is ignored.
// False when there are no digits, the value is negative or does not fit 32 bits.
bool parse_ini_number(const std::string& text, uint32_t& value);

}  // namespace fwtool
