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
inline constexpr char path_list_separator = ';';    // between the folders of PATH
inline constexpr std::string_view native_line_end = "\r\n";  // what a text-mode write makes of '\n'
#else
inline constexpr char native_separator = '/';
inline constexpr char foreign_separator = '\\';
inline constexpr char path_list_separator = ':';
inline constexpr std::string_view native_line_end = "\n";
#endif

// The current folder, without a trailing separator.
std::string current_directory();

// Turns every foreign separator into the native one.
std::string native_path(std::string path);

// Whether a path (with native separators) starts at a root: "/x" on POSIX; "C:\x", "\x" and
// "\\server\share" on Windows.
bool is_absolute_path(std::string_view path);

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

// Reads a text file as a text-mode read does: on Windows each CR LF becomes "\n", elsewhere
// the bytes are returned as they are. Fails as read_file does.
bool read_text_file(const std::string& path, std::string* content, std::string* reason = nullptr);

// Size in bytes and modification time (seconds since 1970-01-01 UTC) of a regular file;
// false when the file does not exist or is not a regular file.
bool file_size_and_time(const std::string& path, uint64_t& size, int64_t& modified);

// Deletes a file. On failure returns false and, when `reason` is given, stores the
// operating system's reason.
bool delete_file(const std::string& path, std::string* reason = nullptr);

// Makes `link` a symbolic link to `target`, replacing a link (not a file) already there. On
// failure returns false and, when `reason` is given, stores the operating system's reason.
// POSIX only: on Windows a symbolic link needs a privilege ordinary accounts lack.
bool make_symbolic_link(const std::string& target, const std::string& link, std::string* reason = nullptr);

// Makes the file `target` available as `link`: a symbolic link on POSIX (see above); on
// Windows a hard link, or a copy when the two are on different volumes, replacing any file
// already at `link`. On failure returns false and, when `reason` is given, the reason.
bool link_file(const std::string& target, const std::string& link, std::string* reason = nullptr);

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
