// Stream sockets on POSIX (Unix domain sockets and TCP) with poll-based time-outs.
#include "platform/ipc.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

std::string ipv4_name(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

// The IPv4 addresses of a host name or address, for connecting or (passive) for binding.
addrinfo* resolve(const tcp_endpoint& endpoint, bool passive, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint.port);
  const int code = ::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
  if (code != 0) {
    if (error) *error = "cannot resolve " + endpoint.host + ": " + ::gai_strerror(code);
    return nullptr;
  }
  return found;
}

void no_delay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Connects a new socket to one address within the time left; the descriptor or -1 with errno.
int connect_one(const addrinfo& to, uint32_t timeout_ms, uint32_t started) {
  const int fd = ::socket(to.ai_family, to.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, to.ai_protocol);
  if (fd < 0) return -1;
  if (::connect(fd, to.ai_addr, to.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      const int code = errno;
      ::close(fd);
      errno = code;
      return -1;
    }
    const io_status ready = wait_ready(fd, POLLOUT, timeout_ms, started);
    int code = ready == io_status::timed_out ? ETIMEDOUT : 0;
    socklen_t length = sizeof code;
    if (ready == io_status::ok && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) != 0) code = errno;
    if (ready == io_status::failed) code = errno;
    if (code != 0) {
      ::close(fd);
      errno = code;
      return -1;
    }
  }
  // Back to blocking, as the local sockets are: reads and writes wait through poll.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  no_delay(fd);
  return fd;
}

}  // namespace

std::string stream_connection::peer_name() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd_ >= 0 && ::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.sin_family == AF_INET) {
    return ipv4_name(address);
  }
  return "a local client";
}

std::string stream_connection::local_name() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (fd_ >= 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.sin_family == AF_INET) {
    return ipv4_name(address);
  }
  return {};
}

stream_connection connect_tcp(const std::string& address, std::string* error, uint32_t timeout_ms) {
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, false, error)) return {};
  addrinfo* found = resolve(endpoint, false, error);
  if (found == nullptr) return {};
  const uint32_t started = tick_ms();
  int fd = -1, code = 0;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = connect_one(*at, timeout_ms, started);
    if (fd < 0) code = errno;
  }
  ::freeaddrinfo(found);
  if (fd < 0) {
    if (error) *error = address + ": " + std::strerror(code);
    return {};
  }
  return stream_connection(fd);
}

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
    : fd_(other.fd_), path_(std::move(other.path_)), tcp_(other.tcp_), loopback_(other.loopback_) {
  other.fd_ = -1;
}

stream_listener& stream_listener::operator=(stream_listener&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    tcp_ = other.tcp_;
    loopback_ = other.loopback_;
    other.fd_ = -1;
  }
  return *this;
}

stream_listener::~stream_listener() { close(); }

bool stream_listener::listen_tcp(const std::string& address, std::string* error) {
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, true, error)) return false;
  addrinfo* found = resolve(endpoint, true, error);
  if (found == nullptr) return false;
  int fd = -1;
  std::string why;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    // A port a stopped daemon used is taken again at once (its connections may linger in
    // TIME_WAIT); a port someone listens on still makes bind fail.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, at->ai_addr, at->ai_addrlen) != 0 || ::listen(fd, 64) != 0) {
      why = errno == EADDRINUSE ? "the port is in use" : std::strerror(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) {
    if (error) *error = address + ": " + why;
    return false;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  fd_ = fd;
  tcp_ = true;
  loopback_ = (ntohl(bound.sin_addr.s_addr) >> 24) == 127;
  path_ = "tcp:" + ipv4_name(bound);
  return true;
}

bool stream_listener::listen(const std::string& path, std::string* error) {
  close();
  tcp_ = false;
  loopback_ = true;
  if (is_tcp_address(path)) return listen_tcp(path, error);
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
  if (client >= 0 && tcp_) no_delay(client);
  return client < 0 ? stream_connection() : stream_connection(client);
}

void stream_listener::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    if (!tcp_) ::unlink(path_.c_str());
  }
  fd_ = -1;
}

bool local_sockets_supported() { return true; }

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
