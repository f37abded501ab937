// The installed tree's layout relative to its prefix.
#include "platform/install_layout.h"

#include <filesystem>
#include <string_view>
#include <utility>

#include "platform/fs.h"

#ifndef ZAM_PRIVATE_LIBRARY_FOLDER
#define ZAM_PRIVATE_LIBRARY_FOLDER "lib/zam-suite"
#endif

namespace platform {
namespace {

// The path with "." and ".." folded (a run path such as "<prefix>/lib/pkgconfig/../.."
// reaches the libraries so) and without trailing separators.
std::string normal_path(const std::string& given) {
  std::string path = given.empty() ? given : std::filesystem::path(given).lexically_normal().string();
  while (path.size() > 1 && (path.back() == '/' || path.back() == native_separator)) path.pop_back();
  return path;
}

// The folder above `path` and the last name in it; the folder is empty when there is none.
std::pair<std::string, std::string> split_last(const std::string& path) {
  const std::size_t slash = path.find_last_of(std::string("/") + native_separator);
  if (slash == std::string::npos) return {"", path};
  return {slash == 0 ? path.substr(0, 1) : path.substr(0, slash), path.substr(slash + 1)};
}

// Whether `path` ends with the folders of `tail` (written with "/"); `rest` is what is above them.
bool strip_tail(const std::string& path, std::string_view tail, std::string& rest) {
  std::string remaining = path;
  std::string_view left = tail;
  while (!left.empty()) {
    const std::size_t slash = left.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? left : left.substr(slash + 1);
    auto [folder, last] = split_last(remaining);
    if (last != name || folder.empty()) return false;
    remaining = folder;
    left = slash == std::string_view::npos ? std::string_view() : left.substr(0, slash);
  }
  rest = remaining;
  return true;
}

}  // namespace

std::string private_library_folder() { return native_path(ZAM_PRIVATE_LIBRARY_FOLDER); }

std::string install_prefix_of(const std::string& folder) {
  const std::string path = normal_path(folder);
  std::string prefix;
  if (strip_tail(path, ZAM_PRIVATE_LIBRARY_FOLDER, prefix)) return prefix;
  return split_last(path).first;
}

std::string settings_folder_of_prefix(const std::string& prefix) {
  const std::string path = normal_path(prefix);
  auto [above, last] = split_last(path);
  const std::string base = last == "usr" && !above.empty() ? above : path;
  return join_path(join_path(base, "etc"), "zam");
}

}  // namespace platform
