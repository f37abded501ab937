// The lab daemon's socket server: frames in, answers out, one thread per client.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/drivers.h"
#include "station/lab_station.h"
#include "platform/ipc.h"
#include "platform/lab_protocol.h"
#include "platform/lab_secret.h"
#include "platform/shared_channel.h"

namespace zamsim {

class lab_server {
 public:
  explicit lab_server(lab_station& station);
  ~lab_server();

  // Listens on the socket path or TCP address; false with `error` set when it cannot.
  bool listen(const std::string& socket_path, std::string& error);
  // Where it listens: the socket path, or "tcp:ADDRESS:PORT" with the real port.
  const std::string& address() const { return listener_.path(); }
  bool on_tcp() const { return listener_.is_tcp(); }
  bool on_loopback() const { return listener_.on_loopback(); }
  // The secret every TCP client proves first, and the file it was written to (for the status
  // answer). A TCP server without one serves nobody.
  void require_secret(const platform::lab::secret& secret, const std::string& file) {
    secret_ = secret;
    secret_file_ = file;
    has_secret_ = true;
  }
  // Serves clients until a stop request or a stop signal.
  void serve();
  void request_stop() { stopping_ = true; }

  // Answers one request (also used by tests without a socket). `output` is sized to the
  // request's output capacity and cut to the bytes returned. A control request passes its
  // time-out on to the driver.
  uint32_t handle(uint32_t operation, uint32_t handle, uint32_t code, const std::vector<uint8_t>& input,
                  uint32_t output_capacity, std::vector<uint8_t>& output,
                  uint32_t timeout_ms = platform::infinite_timeout,
                  const std::function<bool()>& caller_gone = {});

  static constexpr std::size_t max_clients = 64;

 private:
  // What one client's thread keeps between requests.
  struct request_buffers {
    std::vector<uint8_t> input, output;
    platform::shared_channel channel;  // valid once the client asked for one
  };

  void serve_client(std::shared_ptr<platform::stream_connection> client);
  bool serve_socket_frame(platform::stream_connection& client, const uint8_t* head_first_byte,
                          request_buffers& buffers);
  bool open_shared_channel(platform::stream_connection& client, request_buffers& buffers);
  bool serve_channel_request(platform::stream_connection& client, request_buffers& buffers);
  static void report_malformed(const platform::lab::request_header& request);
  bool client_proved_secret(platform::stream_connection& client);

  lab_station& station_;
  driver_set drivers_;
  platform::stream_listener listener_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> stop_pending_{false};  // a stop request waits for its answer to go out
  std::mutex handles_mutex_;
  std::map<uint32_t, std::shared_ptr<driver_interface>> handles_;
  uint32_t next_handle_ = 1;
  std::mutex clients_mutex_;
  std::vector<std::weak_ptr<platform::stream_connection>> clients_;
  std::atomic<std::size_t> active_clients_{0};
  platform::lab::secret secret_{};
  std::string secret_file_;
  bool has_secret_ = false;
};

}  // namespace zamsim
