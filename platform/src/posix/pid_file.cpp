// Pid files on POSIX: a write lock (fcntl) that the system drops when the owner ends.
#include "platform/pid_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace platform {
namespace {

struct flock whole_file(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return lock;
}

}  // namespace

pid_file::pid_file(std::string path, std::string* reason) : path_(std::move(path)) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return;
  }
  struct flock lock = whole_file(F_WRLCK);
  const std::string text = std::to_string(::getpid()) + "\n";
  if (::fcntl(fd, F_SETLK, &lock) != 0 || ::ftruncate(fd, 0) != 0 ||
      ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    if (reason != nullptr) *reason = errno == EACCES || errno == EAGAIN ? "held by a live process" : std::strerror(errno);
    ::close(fd);
    return;
  }
  handle_ = fd;
}

pid_file::~pid_file() {
  if (handle_ == invalid) return;
  ::unlink(path_.c_str());
  ::close(handle_);
}

int live_pid_file_owner(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  // The lock's holder, as the system knows it: the file's text is not trusted.
  struct flock lock = whole_file(F_WRLCK);
  const bool asked = ::fcntl(fd, F_GETLK, &lock) == 0;
  ::close(fd);
  if (asked && lock.l_type != F_UNLCK && lock.l_pid > 0) return lock.l_pid;
  if (asked) ::unlink(path.c_str());
  return 0;
}

}  // namespace platform
