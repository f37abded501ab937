// Files and paths: current folder, existence checks, deletion and folder listing.
//
// The suite builds paths the Windows way (folder, separator, name). The native separator is
// "\\" on Windows and "/" on POSIX: `native_path` turns the other one into it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

#ifdef _WIN32
inline constexpr char native_separator = '\\';
inline constexpr char foreign_separator = '/';
#else
inline constexpr char native_separator = '/';
inline constexpr char foreign_separator = '\\';
#endif

// The current folder, without a trailing separator.
std::string current_directory();

// Turns every foreign separator into the native one.
std::string native_path(std::string path);

// Joins folder and name with one native separator (none added when the folder already ends
// with one; an empty folder yields the name).
std::string join_path(std::string_view folder, std::string_view name);

// Creates a folder and any missing folders above it; true when the folder exists after.
bool create_folders(const std::string& path);

// Whether anything exists at the path.
bool file_exists(const std::string& path);

// Whether the file exists and can be opened for reading.
bool can_open_for_reading(const std::string& path);

// Reads a whole file into `content`. On failure (cannot open, read error) returns false
// and, when `reason` is given, stores the operating system's reason.
bool read_file(const std::string& path, std::string* content, std::string* reason = nullptr);

// Size in bytes and modification time (seconds since 1970-01-01 UTC) of a regular file;
// false when the file does not exist or is not a regular file.
bool file_size_and_time(const std::string& path, uint64_t& size, int64_t& modified);

// Deletes a file. On failure returns false and, when `reason` is given, stores the
// operating system's reason.
bool delete_file(const std::string& path, std::string* reason = nullptr);

// Makes `link` a symbolic link to `target`, replacing a link (not a file) already there. On
// failure returns false and, when `reason` is given, stores the operating system's reason.
bool make_symbolic_link(const std::string& target, const std::string& link, std::string* reason = nullptr);

// Case-insensitive match of a name against a pattern with "*" and "?".
bool wildcard_match(std::string_view pattern, std::string_view name);

// Whether two file names are the same name, compared without regard to case as the
// suite's file names are ("OEM1.PNF" and "oem1.pnf"); no wildcards.
bool same_file_name(std::string_view a, std::string_view b);

// Names of the regular files in a folder that match the pattern, in the order the system
// returns them. A missing folder gives an empty list.
std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern);

// The same list, or false with the operating system's reason when the folder cannot be
// read (missing, not a folder, no rights).
bool try_list_folder(const std::string& folder, std::string_view pattern,
                     std::vector<std::string>* names, std::string* reason);

// Test seam: replaces file deletion in this process (nullptr restores the real one). The
// hook returns true on success or false with a reason.
using delete_hook = std::function<bool(const std::string& path, std::string& reason)>;
void set_delete_hook(delete_hook hook);

}  // namespace platform
