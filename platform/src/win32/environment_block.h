// Windows environment blocks: "NAME=value" entries, each ended by a NUL, sorted by name.
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

namespace platform::detail {

// This process's environment entries, in the order the system keeps them.
std::vector<std::string> current_environment_entries();

// A block for CreateProcess: the entries with the extra variables set, each replacing an
// entry of the same name whatever the case of its letters (Windows names ignore case),
// sorted by name as Windows keeps them (case-insensitive, by code), ended by an empty entry.
std::string environment_block(const std::vector<std::string>& entries, const environment_list& extra);

}  // namespace platform::detail
