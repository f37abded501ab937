// Building the environment block of a child process.
#include "environment_block.h"

#include <windows.h>

#include <map>

namespace platform::detail {
namespace {

// Names compared as Windows sorts them: letters upper-cased, then by code.
struct name_order {
  static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
  bool operator()(const std::string& a, const std::string& b) const {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
      const auto x = static_cast<unsigned char>(upper(a[i]));
      const auto y = static_cast<unsigned char>(upper(b[i]));
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

// The name of an entry. The per-drive folders ("=C:=C:\work") start with '=', which belongs
// to their name.
std::string entry_name(const std::string& entry) {
  const std::size_t equals = entry.find('=', 1);
  return entry.substr(0, equals);
}

}  // namespace

std::vector<std::string> current_environment_entries() {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return entries;
  for (const char* entry = block; *entry != '\0'; entry += entries.back().size() + 1) {
    entries.emplace_back(entry);
  }
  FreeEnvironmentStringsA(block);
  return entries;
}

std::string environment_block(const std::vector<std::string>& entries, const environment_list& extra) {
  std::map<std::string, std::string, name_order> by_name;
  for (const std::string& entry : entries) by_name.emplace(entry_name(entry), entry);
  for (const auto& [name, value] : extra) {
    by_name.erase(name);
    by_name.emplace(name, name + "=" + value);
  }
  std::string block;
  for (const auto& [name, entry] : by_name) {
    block += entry;
    block += '\0';
  }
  if (block.empty()) block += '\0';  // an empty block still has its closing entry
  block += '\0';
  return block;
}

}  // namespace platform::detail
