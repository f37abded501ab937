// The shared libraries a compliance program loads from its working folder, which the suite
// links there as a station keeps them beside its programs; nothing else (test doubles
// beside the programs stay out).
#pragma once

#include <string>
#include <vector>

namespace zamsuite {

// Library names as the system's settings give them ("Pellor.dll", found as libPellor.so here):
// the framework, the driver interface library, and the library that `[DLL] DLLName` of the
// DAT file's framework settings file names (a relative settings folder is taken from the
// working folder, none means the system settings folder, as the framework's start-up does).
std::vector<std::string> program_library_names(const std::string& dat_file, const std::string& working_folder);

}  // namespace zamsuite
