// The OEM INF cleaner: one pass over an INF folder, deleting matching driver packages.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace brumby {

// Runs the cleaner with the program's arguments (without the program name). Writes the
// banner, usage or count to `out` and one line per failure (a folder or INF file that
// cannot be read, a deletion that failed) to `err`. Returns the exit code: 0 when every
// match was deleted, 1 on any such failure, -1 on a wrong argument count.
int run_cleaner(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

enum class inf_match { yes, no, unreadable };

// The largest INF file read (the largest system INFs hold a few MB); a larger one is
// unreadable ("larger than N bytes").
inline constexpr std::size_t max_inf_file_bytes = 16 * 1024 * 1024;

// Whether the INF file matches: with no needles every file matches, unread; otherwise each
// needle (the GUID, then the hardware ID) must stand in some line of the file, the same
// line or another. The comparison is a case-sensitive substring search; an empty file
// does not match. A file that cannot be read gives `unreadable` and the reason.
inf_match inf_matches(const std::string& path, const std::vector<std::string>& needles,
                      std::string* reason);

// Whether `name` is the ".pnf" companion of `inf_name`: the same stem and the extension
// ".pnf", compared without regard to case as the INF names are ("OEM1.inf", "oem1.PNF").
bool is_pnf_companion(const std::string& inf_name, const std::string& name);

}  // namespace brumby
