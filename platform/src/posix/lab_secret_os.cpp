// The system's random source and owner-only files on POSIX.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/lab_secret.h"

namespace platform {

bool random_bytes(void* data, std::size_t size, std::string* error) {
  auto* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::getrandom(bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = std::string("the system's random source failed: ") + std::strerror(errno);
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool write_private_file(const std::string& path, const std::string& content, std::string* error) {
  ::unlink(path.c_str());  // a new file, so that no one holds the old one open for reading
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0;  // whatever the umask
  const char* at = content.data();
  std::size_t left = content.size();
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, at, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      at += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  const int code = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    if (error) *error = path + ": " + std::strerror(code);
    ::unlink(path.c_str());
  }
  return ok;
}

}  // namespace platform
