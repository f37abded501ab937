// Input files on POSIX: the type is checked on the open descriptor, so a path swapped after
// the check cannot slip a device in.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/input_file.h"

namespace platform {

bool is_input_file(const std::string& path, std::string* reason) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return false;
  }
  if (S_ISREG(info.st_mode)) return true;
  if (reason != nullptr) *reason = "not a regular file";
  return false;
}

bool read_input_file(const std::string& path, std::size_t limit, std::string* content,
                     std::string* reason) {
  content->clear();
  // O_NONBLOCK: opening a pipe with no writer would otherwise wait for one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return false;
  }
  std::string why;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    why = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    why = "not a regular file";
  } else if (static_cast<unsigned long long>(info.st_size) > limit) {
    why = larger_than_text(limit);
  }
  char chunk[65536];
  while (why.empty()) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      // A file that grows while it is read is held to the same limit.
      if (content->size() + static_cast<std::size_t>(got) > limit) {
        why = larger_than_text(limit);
        break;
      }
      content->append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      why = std::strerror(errno);
    }
  }
  ::close(fd);
  if (why.empty()) return true;
  content->clear();
  if (reason != nullptr) *reason = why;
  return false;
}

}  // namespace platform
