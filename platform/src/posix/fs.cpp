// Files and paths on POSIX.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

std::mutex hook_mutex;
delete_hook current_hook;

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

std::string current_directory() {
  std::string buffer(4096, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

bool create_folders(const std::string& path) {
  struct stat info {};
  if (path.empty()) return false;
  if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::size_t parent_end = path.find_last_of(native_separator, path.size() - 2);
  if (parent_end != std::string::npos && parent_end > 0 && !create_folders(path.substr(0, parent_end))) return false;
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }
  return false;
}

std::string native_path(std::string path) {
  for (auto& c : path) {
    if (c == foreign_separator) c = native_separator;
  }
  return path;
}

std::string join_path(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  if (joined.back() != native_separator) joined += native_separator;
  joined += name;
  return joined;
}

bool file_exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

bool file_size_and_time(const std::string& path, uint64_t& size, int64_t& modified) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  size = static_cast<uint64_t>(info.st_size);
  modified = static_cast<int64_t>(info.st_mtime);
  return true;
}

bool can_open_for_reading(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  return access(path.c_str(), R_OK) == 0;
}

bool read_file(const std::string& path, std::string* content, std::string* reason) {
  content->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int error = fd < 0 ? errno : 0;
  char chunk[65536];
  while (error == 0) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      content->append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      error = errno;
    }
  }
  if (fd >= 0) close(fd);
  if (error != 0 && reason != nullptr) *reason = std::strerror(error);
  return error == 0;
}

bool make_symbolic_link(const std::string& target, const std::string& link, std::string* reason) {
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) ::unlink(link.c_str());
  if (::symlink(target.c_str(), link.c_str()) == 0) return true;
  if (reason) *reason = std::strerror(errno);
  return false;
}

bool delete_file(const std::string& path, std::string* reason) {
  delete_hook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = current_hook;
  }
  std::string why;
  bool ok;
  if (hook) {
    ok = hook(path, why);
  } else {
    ok = unlink(path.c_str()) == 0;
    if (!ok) why = std::strerror(errno);
  }
  if (!ok && reason != nullptr) *reason = why;
  return ok;
}

void set_delete_hook(delete_hook hook) {
  std::lock_guard lock(hook_mutex);
  current_hook = std::move(hook);
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

bool try_list_folder(const std::string& folder, std::string_view pattern,
                     std::vector<std::string>* names, std::string* reason) {
  names->clear();
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return false;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!wildcard_match(pattern, name)) continue;
    struct stat info {};
    if (stat(join_path(folder, name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      names->push_back(name);
    }
  }
  closedir(dir);
  return true;
}

std::vector<std::string> list_folder(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> names;
  try_list_folder(folder, pattern, &names, nullptr);
  return names;
}

}  // namespace platform
