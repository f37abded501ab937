// Comma-separated name lists of station options (fault names): split and trimmed.
#pragma once

#include <string>
#include <vector>

namespace zamsim {

// The non-empty names of a comma-separated list, blanks around each name removed.
inline std::vector<std::string> split_names(const std::string& text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const auto first = item.find_first_not_of(" \t");
    if (first != std::string::npos) names.push_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

}  // namespace zamsim
