// The OEM INF cleaner: one pass over an INF folder, deleting matching driver packages.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace brumby {

// Runs the cleaner with the program's arguments (without the program name). Writes the
// banner, usage or count to `out` and one line per failed deletion to `err`. Returns the
// exit code: 0 when every match was deleted, 1 when a deletion failed, -1 on a wrong
// argument count.
int run_cleaner(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Whether the INF file matches: with no needles every file matches; otherwise each needle
// (the GUID, then the hardware ID) must stand in some line of the file, the same line or
// another. The comparison is a case-sensitive substring search; a file that cannot be read
// or is empty matches only when there are no needles.
bool inf_matches(const std::string& path, const std::vector<std::string>& needles);

// The ".pnf" companion of an INF name: the extension replaced, the stem kept as it is.
std::string pnf_companion(const std::string& inf_name);

}  // namespace brumby
