// Quoting of command-line arguments by the rules the C runtime parses them with.
#include "command_line.h"

namespace platform::detail {

std::string quote_argument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"*?") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote: there each is doubled and the
    // quote gets one of its own.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');  // before the closing quote
  return quoted + "\"";
}

std::string command_line(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& argument : argv) {
    if (!line.empty()) line += ' ';
    line += quote_argument(argument);
  }
  return line;
}

}  // namespace platform::detail
