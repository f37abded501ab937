// Stream sockets on Windows: Winsock's AF_UNIX sockets (Windows 10 1803 and later) and TCP,
// with WSAPoll-based time-outs.
//
// The class keeps a socket as an int descriptor. A SOCKET is a kernel handle, and Windows
// keeps handle values within 32 bits (64-bit Windows hands them to 32-bit processes), so the
// value fits; INVALID_SOCKET becomes -1. A socket whose value would not fit is refused.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#if __has_include(<afunix.h>)
#include <afunix.h>
#else
// As Microsoft documents it in afunix.h.
#define UNIX_PATH_MAX 108
typedef struct sockaddr_un {
  ADDRESS_FAMILY sun_family;
  char sun_path[UNIX_PATH_MAX];
} SOCKADDR_UN, *PSOCKADDR_UN;
#endif

#include <climits>
#include <cstring>

#include "error_text.h"
#include "platform/clock.h"
#include "platform/ipc.h"

namespace platform {
namespace {

// The reparse tag an AF_UNIX socket's file carries on Windows.
constexpr DWORD reparse_tag_af_unix = 0x80000023;

// Winsock is started once for the process and stays started.
bool winsock_ready(std::string* error) {
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0 && error) *error = "Winsock did not start: " + detail::windows_error_text(static_cast<uint32_t>(started));
  return started == 0;
}

std::string last_error_text() { return detail::windows_error_text(static_cast<uint32_t>(WSAGetLastError())); }

SOCKET as_socket(int fd) { return static_cast<SOCKET>(static_cast<intptr_t>(fd)); }

// A new socket's handle as the class keeps it; a handle that does not fit is closed.
int to_descriptor(SOCKET s) {
  if (s == INVALID_SOCKET) return -1;
  if (s > static_cast<SOCKET>(INT_MAX)) {
    closesocket(s);
    WSASetLastError(WSAEMFILE);
    return -1;
  }
  return static_cast<int>(s);
}

// Non-blocking, and not inherited by programs this process starts (as SOCK_CLOEXEC on POSIX).
bool prepare(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0 &&
         SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0) != 0;
}

// A new AF_UNIX stream socket; -1 with `error` set on failure. Systems older than Windows 10
// 1803 (and wine before its AF_UNIX support) have no such sockets: said in plain words.
int new_socket(std::string* error) {
  const int fd = to_descriptor(WSASocketW(AF_UNIX, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
  if (fd < 0 && error) {
    const int code = WSAGetLastError();
    *error = code == WSAEAFNOSUPPORT
                 ? "this system has no local (AF_UNIX) sockets; they need Windows 10 version 1803 or later"
                 : last_error_text();
  }
  return fd;
}

// Whether this end was shut down (stream_connection::shutdown from another thread) or the
// peer has closed: WSAPoll does not always wake for a shutdown made while it waits (wine's
// does not), so a waiter looks for it between slices of its wait.
bool shut_or_closed(int fd) {
  char byte = 0;
  const int n = ::recv(as_socket(fd), &byte, 1, MSG_PEEK);
  return n == 0 || (n == SOCKET_ERROR && WSAGetLastError() == WSAESHUTDOWN);
}

// Waits for the socket to become ready; the remaining time shrinks with each call. The wait
// goes in slices of at most 100 ms, with a look for a shutdown after each.
io_status wait_ready(int fd, short events, uint32_t timeout_ms, uint32_t started) {
  constexpr INT slice_ms = 100;
  for (;;) {
    INT wait = slice_ms;
    if (timeout_ms != 0xFFFFFFFFu) {
      const uint32_t spent = tick_ms() - started;
      if (spent >= timeout_ms) return io_status::timed_out;
      const uint32_t left = timeout_ms - spent;
      if (left < static_cast<uint32_t>(slice_ms)) wait = static_cast<INT>(left);
    }
    WSAPOLLFD p{as_socket(fd), events, 0};
    const int n = WSAPoll(&p, 1, wait);
    if (n > 0) return io_status::ok;  // ready, or hung up / failed: the call that follows says which
    if (n == 0) {
      if (shut_or_closed(fd)) return io_status::ok;  // the call that follows ends `closed`
      continue;
    }
    if (WSAGetLastError() != WSAEINTR) return io_status::failed;
  }
}

bool closed_by_peer(int code) {
  return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN || code == WSAENOTCONN;
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

// Whether `path` is a socket's file: a reparse point with the AF_UNIX tag.
bool is_socket_file(const std::string& path) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && found.dwReserved0 == reparse_tag_af_unix;
}

std::string ipv4_name(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  InetNtopA(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

// The IPv4 addresses of a host name or address, for connecting or (passive) for binding.
addrinfo* resolve(const tcp_endpoint& endpoint, bool passive, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint.port);
  const int code = getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found);
  if (code != 0) {
    if (error) *error = "cannot resolve " + endpoint.host + ": " + detail::windows_error_text(static_cast<uint32_t>(code));
    return nullptr;
  }
  return found;
}

void no_delay(SOCKET s) {
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

// Connects a new non-blocking socket to one address within the time left; the descriptor,
// or -1 with the Winsock error set. select() waits for the connect: it reports a refused
// connection, where WSAPoll on older Windows does not.
int connect_one(const addrinfo& to, uint32_t timeout_ms, uint32_t started) {
  const int fd = to_descriptor(WSASocketW(to.ai_family, to.ai_socktype, to.ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
  if (fd < 0) return -1;
  const SOCKET s = as_socket(fd);
  int code = 0;
  if (!prepare(s)) {
    code = WSAGetLastError();
  } else if (::connect(s, to.ai_addr, static_cast<int>(to.ai_addrlen)) != 0) {
    code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) {
      code = 0;
      const uint32_t spent = tick_ms() - started;
      const uint32_t left = spent >= timeout_ms ? 0 : timeout_ms - spent;
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
      const int n = select(0, nullptr, &writable, &failed, &wait);
      if (n == 0) {
        code = WSAETIMEDOUT;
      } else if (n == SOCKET_ERROR) {
        code = WSAGetLastError();
      } else if (FD_ISSET(s, &failed)) {
        int length = sizeof code;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length) != 0 || code == 0) {
          code = WSAECONNREFUSED;
        }
      }
    }
  }
  if (code != 0) {
    closesocket(s);
    WSASetLastError(code);
    return -1;
  }
  no_delay(s);
  return fd;
}

}  // namespace

std::string stream_connection::peer_name() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (fd_ >= 0 && getpeername(as_socket(fd_), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.sin_family == AF_INET) {
    return ipv4_name(address);
  }
  return "a local client";
}

std::string stream_connection::local_name() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (fd_ >= 0 && getsockname(as_socket(fd_), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      address.sin_family == AF_INET) {
    return ipv4_name(address);
  }
  return {};
}

stream_connection connect_tcp(const std::string& address, std::string* error, uint32_t timeout_ms) {
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, false, error) || !winsock_ready(error)) return {};
  addrinfo* found = resolve(endpoint, false, error);
  if (found == nullptr) return {};
  const uint32_t started = tick_ms();
  int fd = -1;
  std::string why;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = connect_one(*at, timeout_ms, started);
    if (fd < 0) why = last_error_text();
  }
  freeaddrinfo(found);
  if (fd < 0) {
    if (error) *error = address + ": " + why;
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
  WSAPOLLFD p{as_socket(fd_), POLLRDNORM, 0};
  if (WSAPoll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
  // Readable: either data is waiting or the peer has closed (a read would return 0 bytes).
  char byte = 0;
  return (p.revents & POLLRDNORM) && ::recv(as_socket(fd_), &byte, 1, MSG_PEEK) == 0;
}

io_status stream_connection::write_all(const void* data, std::size_t size, uint32_t timeout_ms) {
  if (fd_ < 0) return io_status::failed;
  const auto* bytes = static_cast<const char*>(data);
  const uint32_t started = tick_ms();
  while (size > 0) {
    const int chunk = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    const int n = ::send(as_socket(fd_), bytes, chunk, 0);
    if (n == SOCKET_ERROR) {
      const int code = WSAGetLastError();
      // Nothing to move yet: wait for the socket (the call is tried first, which saves a poll
      // per call when the data is there already).
      if (code == WSAEWOULDBLOCK || code == WSAEINTR) {
        const io_status ready = wait_ready(fd_, POLLWRNORM, timeout_ms, started);
        if (ready != io_status::ok) return ready;
        continue;
      }
      return closed_by_peer(code) ? io_status::closed : io_status::failed;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return io_status::ok;
}

io_status stream_connection::read_exact(void* data, std::size_t size, uint32_t timeout_ms) {
  if (fd_ < 0) return io_status::failed;
  auto* bytes = static_cast<char*>(data);
  const uint32_t started = tick_ms();
  while (size > 0) {
    const int chunk = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    const int n = ::recv(as_socket(fd_), bytes, chunk, 0);
    if (n == 0) return io_status::closed;
    if (n == SOCKET_ERROR) {
      const int code = WSAGetLastError();
      // Nothing to move yet: wait for the socket (the call is tried first, which saves a poll
      // per call when the data is there already).
      if (code == WSAEWOULDBLOCK || code == WSAEINTR) {
        const io_status ready = wait_ready(fd_, POLLRDNORM, timeout_ms, started);
        if (ready != io_status::ok) return ready;
        continue;
      }
      return closed_by_peer(code) ? io_status::closed : io_status::failed;
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
    const int chunk = size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    const int n = ::recv(as_socket(fd_), static_cast<char*>(data), chunk, 0);
    if (n == 0) return io_status::closed;
    if (n == SOCKET_ERROR) {
      const int code = WSAGetLastError();
      // Nothing to move yet: wait for the socket (the call is tried first, which saves a poll
      // per call when the data is there already).
      if (code == WSAEWOULDBLOCK || code == WSAEINTR) {
        const io_status ready = wait_ready(fd_, POLLRDNORM, timeout_ms, started);
        if (ready != io_status::ok) return ready;
        continue;
      }
      return closed_by_peer(code) ? io_status::closed : io_status::failed;
    }
    got = static_cast<std::size_t>(n);
    return io_status::ok;
  }
}

void stream_connection::shutdown() {
  if (fd_ >= 0) ::shutdown(as_socket(fd_), SD_BOTH);
}

void stream_connection::close() {
  if (fd_ >= 0) closesocket(as_socket(fd_));
  fd_ = -1;
}

stream_connection connect_local(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!fill_address(path, address, error) || !winsock_ready(error)) return {};
  const int fd = new_socket(error);
  if (fd < 0) return {};
  // A local connect completes at once or fails; it is made blocking, then the socket is
  // switched to non-blocking for its reads and writes.
  if (::connect(as_socket(fd), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !prepare(as_socket(fd))) {
    if (error) *error = path + ": " + last_error_text();
    closesocket(as_socket(fd));
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

bool stream_listener::listen_tcp(const std::string& address, std::string* error) {
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, true, error) || !winsock_ready(error)) return false;
  addrinfo* found = resolve(endpoint, true, error);
  if (found == nullptr) return false;
  int fd = -1;
  std::string why;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = to_descriptor(WSASocketW(at->ai_family, at->ai_socktype, at->ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    if (fd < 0) {
      why = last_error_text();
      continue;
    }
    // No other socket may take the same port while this one listens.
    const BOOL on = TRUE;
    setsockopt(as_socket(fd), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    if (::bind(as_socket(fd), at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0 || ::listen(as_socket(fd), 64) != 0 ||
        !prepare(as_socket(fd))) {
      why = WSAGetLastError() == WSAEADDRINUSE ? "the port is in use" : last_error_text();
      closesocket(as_socket(fd));
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0) {
    if (error) *error = address + ": " + why;
    return false;
  }
  sockaddr_in bound{};
  int length = sizeof bound;
  getsockname(as_socket(fd), reinterpret_cast<sockaddr*>(&bound), &length);
  fd_ = fd;
  tcp_ = true;
  loopback_ = (ntohl(bound.sin_addr.s_addr) >> 24) == 127;
  path_ = "tcp:" + ipv4_name(bound);
  return true;
}

stream_listener::~stream_listener() { close(); }

// Windows has no file modes: the socket's file gets the folder's access rights, so the lab
// keeps it in a folder of its own.
bool stream_listener::listen(const std::string& path, std::string* error) {
  close();
  tcp_ = false;
  loopback_ = true;
  if (is_tcp_address(path)) return listen_tcp(path, error);
  sockaddr_un address;
  if (!fill_address(path, address, error) || !winsock_ready(error)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (connect_local(path).valid()) {
      if (error) *error = path + " is in use by a running daemon";
      return false;
    }
    if (!is_socket_file(path)) {
      if (error) *error = path + " exists and is not a socket";
      return false;
    }
    DeleteFileA(path.c_str());  // left behind by a daemon that died
  }
  const int fd = new_socket(error);
  if (fd < 0) return false;
  if (::bind(as_socket(fd), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(as_socket(fd), 64) != 0 || !prepare(as_socket(fd))) {
    if (error) *error = path + ": " + last_error_text();
    closesocket(as_socket(fd));
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

stream_connection stream_listener::accept(uint32_t timeout_ms) {
  if (fd_ < 0) return {};
  if (wait_ready(fd_, POLLRDNORM, timeout_ms, tick_ms()) != io_status::ok) return {};
  const int client = to_descriptor(::accept(as_socket(fd_), nullptr, nullptr));
  if (client < 0) return {};
  if (!prepare(as_socket(client))) {
    closesocket(as_socket(client));
    return {};
  }
  if (tcp_) no_delay(as_socket(client));
  return stream_connection(client);
}

void stream_listener::close() {
  if (fd_ >= 0) {
    closesocket(as_socket(fd_));
    if (!tcp_) DeleteFileA(path_.c_str());
  }
  fd_ = -1;
}

bool local_sockets_supported() {
  static const bool supported = [] {
    if (!winsock_ready(nullptr)) return false;
    const SOCKET probe = WSASocketW(AF_UNIX, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (probe == INVALID_SOCKET) return false;
    closesocket(probe);
    return true;
  }();
  return supported;
}

// Windows folders have access lists, not modes: this creates the folder (which inherits its
// parent's access list) or checks that an existing path is a folder. Owner and access are not
// checked here.
bool make_private_folder(const std::string& path, std::string* error) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    if (error) *error = path + ": " + detail::windows_error_text(GetLastError());
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (error) *error = path + " is not a folder";
    return false;
  }
  return true;
}

}  // namespace platform
