// Masks that make compliance logs of different runs comparable byte for byte.
#pragma once

#include <string>
#include <vector>

namespace e2e {

// The trace words inside <TBData> depend on the lab's sequence numbers and timing, not on
// the program: each becomes 0x########, so the number of words still counts.
std::string mask_trace_words(const std::string& xml);

// A log as every run of the same program on the same station writes it: CR LF line ends made
// LF, each of the folders (in its POSIX spelling and in the drive-Z: spelling a Windows
// program under wine sees) replaced by "<folder>", then the time stamps, machine figures and
// trace words masked.
std::string mask_run_specifics(const std::string& xml, const std::vector<std::string>& folders);

// A POSIX absolute path as a Windows program under wine names it: Z: and back slashes.
std::string wine_path(const std::string& path);

}  // namespace e2e
