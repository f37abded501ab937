// Local stream sockets with time-outs: the lab daemon's transport.
//
// Paths name Unix stream sockets. Every read and write takes a time-out in milliseconds, so
// a peer that stops answering never blocks a caller for longer than it asked.
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

 private:
  int fd_ = -1;
};

// Connects to a listening socket; an invalid connection with `error` set on failure.
stream_connection connect_local(const std::string& path, std::string* error = nullptr);

class stream_listener {
 public:
  stream_listener() = default;
  stream_listener(stream_listener&& other) noexcept;
  stream_listener& operator=(stream_listener&& other) noexcept;
  stream_listener(const stream_listener&) = delete;
  stream_listener& operator=(const stream_listener&) = delete;
  ~stream_listener();

  // Listens on `path` (mode 0600). An existing socket file that nobody answers on is
  // replaced; one that answers is in use and makes listen fail.
  bool listen(const std::string& path, std::string* error = nullptr);
  bool valid() const { return fd_ >= 0; }
  // Waits up to timeout_ms for a client; an invalid connection on time-out or after close.
  stream_connection accept(uint32_t timeout_ms);
  // Stops listening and removes the socket file.
  void close();
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Creates a folder only the current user can enter (mode 0700), or checks that an existing
// one is a folder owned by the user and closed to others.
bool make_private_folder(const std::string& path, std::string* error = nullptr);

}  // namespace platform
