// Where the framework's settings file lives, and the existence check its reads share.
#pragma once

#include <string>

namespace vexo {

inline constexpr const char* default_settings_file = "KALIXapp.ini";

// The settings file path: the given folder (else "<current folder>/ini/") and file name
// (else "KALIXapp.ini"), joined with one separator, foreign separators made native.
// A given but empty folder yields "\\<name>" on Windows (the root of the current drive) and
// the bare name elsewhere (resolved by the profile reader in the system settings folder).
std::string settings_file_path(const char* settings_dir, const char* settings_file);

std::string empty_folder_settings_path(const std::string& name);

// Prints "file with name[<path>] cannot be opened" to standard output when the file cannot
// be opened for reading; the profile read that follows then yields its default.
void report_unreadable_settings_file(const std::string& path);

}  // namespace vexo
