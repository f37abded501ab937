// Which file a program name stands for, as the suite starts programs on Windows.
#pragma once

#include <string>

namespace platform::detail {

// A path as the child sees it from its working folder: native separators, and a relative
// path joined to `working_folder` (unless that is empty), as a POSIX child resolves it after
// changing to its folder.
std::string from_working_folder(const std::string& path, const std::string& working_folder);

// The file to start for `name`: ".exe" is added when the name has no extension; a name
// without a folder is looked for in the folders of PATH, in order; a relative name with a
// folder is taken from `working_folder` (the child's folder) when one is given. Empty with
// `error` set when a bare name is on no folder of PATH.
std::string find_program(const std::string& name, const std::string& working_folder, std::string* error);

}  // namespace platform::detail
