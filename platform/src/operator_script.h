// Answer scripts: the lines of a script file, consumed in order by every kind of prompt.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::detail {

// The text without leading and trailing blanks, tabs and line ends.
std::string trim_reply(std::string text);

// The next answer line of the script at path. Blank lines and lines starting with '#' are
// skipped. Nothing (after a message on standard error naming the prompt) when the file
// cannot be read or has no answer left.
std::optional<std::string> next_script_answer(const std::string& path, std::string_view caption);

// Forgets the loaded script and its position.
void reset_script();

}  // namespace platform::detail
