// Files and paths on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../fs_native.h"
#include "platform/fs.h"

namespace platform {
namespace detail {

bool delete_file_native(const std::string& path, std::string& reason) {
  if (unlink(path.c_str()) == 0) return true;
  reason = std::strerror(errno);
  return false;
}

}  // namespace detail


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

bool link_file(const std::string& target, const std::string& link, std::string* reason) {
  return make_symbolic_link(target, link, reason);
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

}  // namespace platform
