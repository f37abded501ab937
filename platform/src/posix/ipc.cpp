// Local stream sockets on POSIX (Unix domain sockets) with poll-based time-outs.
#include "platform/ipc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"

namespace platform {
namespace {

// Waits for the descriptor to become ready; the remaining time shrinks with each call.
io_status wait_ready(int fd, short events, uint32_t timeout_ms, uint32_t started) {
  for (;;) {
    int wait = -1;
    if (timeout_ms != 0xFFFFFFFFu) {
      const uint32_t spent = tick_ms() - started;
      if (spent >= timeout_ms) return io_status::timed_out;
      wait = static_cast<int>(timeout_ms - spent);
    }
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, wait);
    if (n > 0) return io_status::ok;
    if (n == 0) return io_status::timed_out;
    if (errno != EINTR) return io_status::failed;
  }
}

bool fill_address(const std::string& path, sockaddr_un& address, std::string* error) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    if (error) *error = "socket path empty or longer than " + std::to_string(sizeof address.sun_path - 1) + " bytes: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

stream_connection::stream_connection(stream_connection&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

stream_connection& stream_connection::operator=(stream_connection&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

stream_connection::~stream_connection() { close(); }

bool stream_connection::peer_closed() const {
  if (fd_ < 0) return true;
  pollfd p{fd_, static_cast<short>(POLLIN | POLLRDHUP), 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLRDHUP | POLLERR)) return true;
  char byte = 0;
  return (p.revents & POLLIN) && ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

io_status stream_connection::write_all(const void* data, std::size_t size, uint32_t timeout_ms) {
  if (fd_ < 0) return io_status::failed;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const uint32_t started = tick_ms();
  while (size > 0) {
    const io_status ready = wait_ready(fd_, POLLOUT, timeout_ms, started);
    if (ready != io_status::ok) return ready;
    const ssize_t n = ::send(fd_, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return errno == EPIPE || errno == ECONNRESET ? io_status::closed : io_status::failed;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return io_status::ok;
}

io_status stream_connection::read_exact(void* data, std::size_t size, uint32_t timeout_ms) {
  if (fd_ < 0) return io_status::failed;
  auto* bytes = static_cast<uint8_t*>(data);
  const uint32_t started = tick_ms();
  while (size > 0) {
    const io_status ready = wait_ready(fd_, POLLIN, timeout_ms, started);
    if (ready != io_status::ok) return ready;
    const ssize_t n = ::recv(fd_, bytes, size, MSG_DONTWAIT);
    if (n == 0) return io_status::closed;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return errno == ECONNRESET ? io_status::closed : io_status::failed;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return io_status::ok;
}

io_status stream_connection::read_some(void* data, std::size_t size, std::size_t& got, uint32_t timeout_ms) {
  got = 0;
  if (fd_ < 0) return io_status::failed;
  const uint32_t started = tick_ms();
  for (;;) {
    const io_status ready = wait_ready(fd_, POLLIN, timeout_ms, started);
    if (ready != io_status::ok) return ready;
    const ssize_t n = ::recv(fd_, data, size, MSG_DONTWAIT);
    if (n == 0) return io_status::closed;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return errno == ECONNRESET ? io_status::closed : io_status::failed;
    }
    got = static_cast<std::size_t>(n);
    return io_status::ok;
  }
}

void stream_connection::shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void stream_connection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

stream_connection connect_local(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!fill_address(path, address, error)) return {};
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return {};
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    ::close(fd);
    return {};
  }
  return stream_connection(fd);
}

stream_listener::stream_listener(stream_listener&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

stream_listener& stream_listener::operator=(stream_listener&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

stream_listener::~stream_listener() { close(); }

bool stream_listener::listen(const std::string& path, std::string* error) {
  close();
  sockaddr_un address;
  if (!fill_address(path, address, error)) return false;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) {
      if (error) *error = path + " exists and is not a socket";
      return false;
    }
    if (connect_local(path).valid()) {
      if (error) *error = path + " is in use by a running daemon";
      return false;
    }
    ::unlink(path.c_str());  // left behind by a daemon that died
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const mode_t old_mask = ::umask(0177);  // the socket is created mode 0600
  const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::umask(old_mask);
  if (bound != 0 || ::listen(fd, 64) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

stream_connection stream_listener::accept(uint32_t timeout_ms) {
  if (fd_ < 0) return {};
  if (wait_ready(fd_, POLLIN, timeout_ms, tick_ms()) != io_status::ok) return {};
  const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  return client < 0 ? stream_connection() : stream_connection(client);
}

void stream_listener::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  fd_ = -1;
}

bool make_private_folder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
      (info.st_mode & 077) != 0) {
    if (error) *error = path + " is not a private folder of this user (mode 0700)";
    return false;
  }
  return true;
}

}  // namespace platform
