// Client side of the lab wire protocol: one connection to the zamsim daemon.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ipc.h"
#include "platform/lab_protocol.h"
#include "platform/shared_channel.h"

namespace platform {

// Connects to the lab daemon at `address` (a local socket's path or "tcp:HOST:PORT"). On TCP
// the connection proves the lab's secret first, read from `secret_file` (when empty, from
// $ZAMSIM_SECRET or the default place for the port); an invalid connection with `error`
// set when the connection, the secret or its proof fails.
stream_connection connect_lab(const std::string& address, const std::string& secret_file, std::string* error,
                              uint32_t wait_ms);

class lab_client {
 public:
  // `socket_path` is the daemon's address (see connect_lab), `secret_file` the secret's file
  // for a TCP address (empty: $ZAMSIM_SECRET or the default).
  explicit lab_client(std::string socket_path, std::string secret_file = {});
  ~lab_client();
  lab_client(const lab_client&) = delete;
  lab_client& operator=(const lab_client&) = delete;

  // Sends one request and waits for its answer. From the second request of a connection on,
  // requests go through a shared channel where the daemon and the system offer one
  // (ZAMSIM_CHANNEL=socket keeps them on the socket); a TCP connection always keeps to its
  // socket, since the daemon may be on another machine. Returns the answer's error code, or
  // error::device_not_connected when the daemon cannot be reached, closed the connection
  // or did not answer in time; after such a failure every later call fails at once.
  uint32_t call(lab::operation op, uint32_t handle, uint32_t code, const void* in,
                uint32_t in_length, void* out, uint32_t out_capacity, uint32_t& returned,
                uint32_t timeout_ms);

  // Convenience: a request whose answer is text.
  uint32_t call_text(lab::operation op, const std::string& input, std::string& output);

  const std::string& socket_path() const { return socket_path_; }

  // Why the last connection attempt failed (empty when it did not fail).
  std::string connect_error() const;

  // Whether a connection that was made was lost since: the daemon closed it, or did not
  // answer a request in time. Every later call then fails at once.
  bool lost() const;
  // Why it was lost ("no answer within 2000 ms", ...); empty while not lost.
  std::string loss() const;

  // Whether requests now go through a shared channel.
  bool on_shared_channel() const;

  // How long a request with no time-out of its own may wait for the daemon
  // (ZAMSIM_TIMEOUT_MS, default 10000).
  static uint32_t default_wait_ms();

 private:
  std::string socket_path_;
  std::string secret_file_;
  mutable std::mutex mutex_;
  stream_connection connection_;
  bool broken_ = false;
  std::string connect_error_;
  std::string loss_;
  shared_channel channel_;
  bool channel_wanted_ = true;   // false once refused, or when ZAMSIM_CHANNEL=socket
  uint32_t requests_ = 0;        // on this connection

  void open_channel(uint32_t wait);
  io_status send_on_socket(const lab::request_header& header, const void* in, uint32_t in_length,
                           const void* data_buffer, uint32_t wait);
  io_status call_through_channel(const lab::request_header& header, const void* in, uint32_t in_length,
                                 const void* data_buffer, void* out, lab::answer_header& answer,
                                 uint32_t wait);
  void fail(io_status why, uint32_t wait);
};

}  // namespace platform
