// Files the suite takes from outside (scripts, station and settings files, DAT files,
// firmware images, INF files): read whole, but only regular files and only up to a limit.
//
// A folder, a device (/dev/zero, /dev/full), a pipe or a socket is refused before anything
// is read, and so is a file larger than the reader's limit, so that a mistaken path can
// neither hang a program nor fill its memory.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Reads a regular file of at most `limit` bytes into `content`. On failure returns false
// and, when `reason` is given, stores why: "not a regular file", "larger than N bytes", or
// the operating system's reason (no such file, no permission, a read error).
bool read_input_file(const std::string& path, std::size_t limit, std::string* content,
                     std::string* reason = nullptr);

// The same as a text-mode read gives it: on Windows each CR LF becomes "\n".
bool read_input_text_file(const std::string& path, std::size_t limit, std::string* content,
                          std::string* reason = nullptr);

// Whether the path names a regular file (after symbolic links); when not, and `reason` is
// given, stores why as read_input_file does. For readers that stream a file themselves.
bool is_input_file(const std::string& path, std::string* reason = nullptr);

// The reason text of a file larger than `limit` bytes.
std::string larger_than_text(std::size_t limit);

}  // namespace platform
