// Profile (ini) files with the behaviour of the Windows profile functions.
//
// Sections and keys match without regard to case; blanks around keys and values are
// dropped; a value wrapped in matching quotes loses them; the first matching key wins;
// lines starting with ";" are comments; CRLF and LF files both read. A missing file,
// section or key yields the default. A bare file name (no folder) resolves in the system
// settings folder: $ZAM_SYSTEM_DIR if set, else the etc/zam of the installed tree (/etc/zam
// for a tree installed in /usr; see install_layout.h), else the build's default.
//
// Only a regular file of at most max_profile_file_bytes is read: a folder, a device or a
// larger file gives the defaults, with one "profile: cannot read ..." line on standard error
// per file, and is never written over.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The largest profile file read (settings, station and campaign files are a few KB).
inline constexpr std::size_t max_profile_file_bytes = 1024 * 1024;

// Reads a value, cut to buffer_size - 1 bytes (as the Windows call fills a buffer of that
// size). buffer_size 0 yields the empty string.
std::string read_profile_string(std::string_view section, std::string_view key,
                                std::string_view default_value, const std::string& path,
                                std::size_t buffer_size = 4096);

// The Windows call shape: copies into `out` (always terminated when size > 0) and returns
// the number of characters copied, not counting the terminator.
std::size_t get_profile_string(const char* section, const char* key, const char* default_value,
                               char* out, std::size_t size, const char* path);

// Writes a value: creates the file and the section when missing, replaces an existing key's
// value in place, appends a new key at the end of its section, keeps every other line.
// Returns false when the file cannot be written, with the file and the system's reason in
// `reason` when given ("<path>: <reason>"); the file is then left as it was.
bool write_profile_string(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& path, std::string* reason = nullptr);

// The path a profile call uses for `path`: a bare name goes to the system settings folder.
std::string resolve_profile_path(const std::string& path);

// The system settings folder.
std::string system_settings_dir();

}  // namespace platform
