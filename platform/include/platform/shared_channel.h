// A lab connection's fast path: one request area and one answer area in memory that the
// client and the daemon both map, with no system call per request while both sides are busy.
//
// The daemon creates the region and hands it to its client over their socket; the region is
// sealed, so a client can neither shrink nor grow it under the daemon. The socket stays open
// beside it: for requests too large for an area, and as each side's sign that the other is
// still there. One request at a time: the client writes a frame into the request area and
// posts it; the daemon copies it out, answers into the answer area and posts the answer.
// A waiting side spins briefly (the peer usually answers within microseconds), then sleeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ipc.h"

namespace platform {

class shared_channel {
 public:
  // Bytes of one area: a request frame (header and input) or an answer (header and output).
  static constexpr std::size_t area_size = 256u << 10;

  // What the client posted: a frame in the request area, a frame that follows on the socket
  // (too large for the area), or its goodbye before it closes the connection. Any other
  // value is a misbehaving client.
  enum class request_kind : uint32_t { in_area = 1, on_socket = 2, closing = 3 };

  shared_channel() = default;
  shared_channel(shared_channel&& other) noexcept;
  shared_channel& operator=(shared_channel&& other) noexcept;
  shared_channel(const shared_channel&) = delete;
  shared_channel& operator=(const shared_channel&) = delete;
  ~shared_channel();

  // Whether this system offers shared channels (else the lab keeps to its socket).
  static bool supported();

  // The daemon's side: a new, sealed region. Invalid, with `error` set, on failure.
  static shared_channel create(std::string* error = nullptr);
  // Writes `size` bytes to the connection with the region attached (once: the daemon keeps
  // no handle to the region after this, only its mapping).
  io_status send_with(stream_connection& connection, const void* bytes, std::size_t size,
                      uint32_t timeout_ms);
  // The client's side: reads exactly `size` bytes; a region that came with them is mapped
  // into `channel` (left invalid when none came or it is not the size a channel has).
  static io_status receive_with(stream_connection& connection, void* bytes, std::size_t size,
                                uint32_t timeout_ms, shared_channel& channel);

  bool valid() const { return base_ != nullptr; }
  uint8_t* request_area() const;
  uint8_t* answer_area() const;

  // Client: publishes the request just written (or about to follow on the socket).
  void post_request(request_kind kind);
  // Client: waits for the answer to the request it posted last. `ok` when it came,
  // `closed` as soon as `peer_gone` says the daemon went away, `timed_out` at the deadline.
  io_status wait_answer(uint32_t timeout_ms, const std::function<bool()>& peer_gone);

  // Daemon: waits up to timeout_ms for the next request and says what kind it is (the raw
  // value, to be checked); nullopt when none came in time.
  std::optional<uint32_t> wait_request(uint32_t timeout_ms);
  // Daemon: publishes the answer just written to the answer area.
  void post_answer();

 private:
  void unmap();

  uint8_t* base_ = nullptr;
  int descriptor_ = -1;    // daemon: the region's handle until it is sent
  uint32_t posted_ = 0;    // client: the sequence number of its last request
  uint32_t answered_ = 0;  // daemon: the sequence number of the last request it took
};

}  // namespace platform
