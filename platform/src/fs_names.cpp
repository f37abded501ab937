// Path and file-name rules shared by every backend: separators, joining, wildcards.
#include <cctype>

#include "platform/fs.h"

namespace platform {
namespace {

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string native_path(std::string path) {
  for (auto& c : path) {
    if (c == foreign_separator) c = native_separator;
  }
  return path;
}

bool is_absolute_path(std::string_view path) {
  if (!path.empty() && path[0] == native_separator) return true;
  // A drive letter: only Windows paths have one.
  return native_separator == '\\' && path.size() >= 3 &&
         std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

std::string join_path(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  if (joined.back() != native_separator) joined += native_separator;
  joined += name;
  return joined;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Iterative match with one backtrack point for the last "*": linear in practice and
  // never recursive, whatever the pattern.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_name = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool same_file_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> names;
  try_list_folder(folder, pattern, &names, nullptr);
  return names;
}

}  // namespace platform
