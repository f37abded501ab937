// Stream sockets with time-outs: the lab daemon's transport.
//
// An address is either "tcp:HOST:PORT" (HOST an IPv4 address or a host name, PORT a
// decimal number) or the path of a local (Unix) stream socket. Every read and write takes a
// time-out in milliseconds, so a peer that stops answering never blocks a caller for longer
// than it asked. TCP connections have Nagle's delay switched off: the lab's traffic is
// request and answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class io_status { ok, closed, timed_out, failed };

class stream_connection {
 public:
  stream_connection() = default;
  explicit stream_connection(int descriptor) : fd_(descriptor) {}
  stream_connection(stream_connection&& other) noexcept;
  stream_connection& operator=(stream_connection&& other) noexcept;
  stream_connection(const stream_connection&) = delete;
  stream_connection& operator=(const stream_connection&) = delete;
  ~stream_connection();

  bool valid() const { return fd_ >= 0; }
  io_status write_all(const void* data, std::size_t size, uint32_t timeout_ms);
  // Reads exactly `size` bytes; `closed` when the peer closed before the first byte or in
  // the middle.
  io_status read_exact(void* data, std::size_t size, uint32_t timeout_ms);
  // Reads what has arrived, at most `size` bytes, waiting up to timeout_ms for the first
  // one; `got` says how many (0 unless ok).
  io_status read_some(void* data, std::size_t size, std::size_t& got, uint32_t timeout_ms);
  // Whether the peer has closed its end (checked without waiting or reading).
  bool peer_closed() const;
  // Ends both directions, waking a thread blocked on this connection.
  void shutdown();
  void close();
  // The operating system's descriptor, for the platform's own backends.
  int descriptor() const { return fd_; }
  // Who is at the other end: "ADDRESS:PORT" for TCP, "a local client" for a local socket.
  std::string peer_name() const;
  // This end's "ADDRESS:PORT" on TCP; empty for a local socket.
  std::string local_name() const;

 private:
  int fd_ = -1;
};

// Connects to a listening socket; an invalid connection with `error` set on failure.
stream_connection connect_local(const std::string& path, std::string* error = nullptr);

// Whether this system has local (Unix) stream sockets. Windows has them from 10 version 1803
// on; wine 8 has none, so programs there reach a lab over TCP.
bool local_sockets_supported();

// Whether an address names a TCP endpoint (it starts with "tcp:"); anything else is a path.
bool is_tcp_address(const std::string& address);

struct tcp_endpoint {
  std::string host;
  uint16_t port = 0;
};

// Parses "tcp:HOST:PORT". PORT is 1 to 65535, or 0 ("any free port", for listening) when
// `any_port` allows it. False with `error` set on a malformed address.
bool parse_tcp_address(const std::string& address, tcp_endpoint& out, bool any_port, std::string* error = nullptr);

// Connects to "tcp:HOST:PORT", waiting at most timeout_ms for the connection to be made.
stream_connection connect_tcp(const std::string& address, std::string* error = nullptr, uint32_t timeout_ms = 10000);

// Connects to either kind of address.
stream_connection connect_stream(const std::string& address, std::string* error = nullptr);

class stream_listener {
 public:
  stream_listener() = default;
  stream_listener(stream_listener&& other) noexcept;
  stream_listener& operator=(stream_listener&& other) noexcept;
  stream_listener(const stream_listener&) = delete;
  stream_listener& operator=(const stream_listener&) = delete;
  ~stream_listener();

  // Listens on `address`. A path gets a socket file (mode 0600): an existing one that nobody
  // answers on is replaced; one that answers is in use and makes listen fail. A TCP address
  // with port 0 gets a free port; path() then says which.
  bool listen(const std::string& address, std::string* error = nullptr);
  bool valid() const { return fd_ >= 0; }
  // Waits up to timeout_ms for a client; an invalid connection on time-out or after close.
  stream_connection accept(uint32_t timeout_ms);
  // Stops listening and removes the socket file.
  void close();
  // The socket's path, or "tcp:ADDRESS:PORT" with the numeric address and the real port.
  const std::string& path() const { return path_; }
  bool is_tcp() const { return tcp_; }
  // Whether a TCP listener is reachable only from this machine (127.0.0.0/8).
  bool on_loopback() const { return loopback_; }

 private:
  int fd_ = -1;
  std::string path_;
  bool tcp_ = false;
  bool loopback_ = true;

  bool listen_tcp(const std::string& address, std::string* error);
};

// Creates a folder only the current user can enter (mode 0700), or checks that an existing
// one is a folder owned by the user and closed to others.
bool make_private_folder(const std::string& path, std::string* error = nullptr);

}  // namespace platform
