// Output files on POSIX: a file descriptor, written without a buffer of our own.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../output_file_native.h"

namespace platform::detail {

bool open_output_native(const std::string& path, output_mode mode, std::intptr_t& handle,
                        std::string& reason) {
  const int how = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == output_mode::append ? O_APPEND : O_TRUNC);
  int fd;
  do {
    fd = ::open(path.c_str(), how, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  handle = fd;
  return true;
}

bool write_output_native(std::intptr_t handle, std::string_view bytes, std::string& reason) {
  const int fd = static_cast<int>(handle);
  while (!bytes.empty()) {
    const ssize_t done = ::write(fd, bytes.data(), bytes.size());
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      reason = done < 0 ? std::strerror(errno) : std::strerror(ENOSPC);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

bool close_output_native(std::intptr_t handle, std::string& reason) {
  // A close interrupted by a signal has still released the descriptor: never retry it.
  if (::close(static_cast<int>(handle)) == 0 || errno == EINTR) return true;
  reason = std::strerror(errno);
  return false;
}

}  // namespace platform::detail
