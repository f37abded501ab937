// Windows command lines: arguments quoted so that the C runtime's parser gives them back.
#pragma once

#include <string>
#include <vector>

namespace platform::detail {

// One argument as the C runtime reads it back: quoted when it is empty or holds white space,
// a quote or a wildcard (so it is not expanded); backslashes doubled only before a quote.
std::string quote_argument(const std::string& argument);

// The arguments quoted and joined with single spaces.
std::string command_line(const std::vector<std::string>& argv);

}  // namespace platform::detail
