// Test support: the card's USB device in-process. It hands out queued configuration
// requests on the request pipe (big-endian words, as the card sends them) and keeps every
// completion written to the completion pipe.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
class device_provider;
}

namespace zamlib_testing {

class card_standin {
 public:
  // Registers the device under `name` for this process until destruction.
  explicit card_standin(std::string name = "ezusb-0");
  ~card_standin();
  card_standin(const card_standin&) = delete;
  card_standin& operator=(const card_standin&) = delete;

  // A request the firmware sends, as host-order words.
  void queue_request(const std::vector<uint32_t>& words);
  // A transfer of exactly these bytes (short or odd packets).
  void queue_bytes(const std::vector<uint8_t>& bytes);
  // How a read ends when nothing is queued: error 1460 (timed out, the default) or 995
  // (aborted). The end takes no time: the card's clock is virtual.
  void end_reads_with(uint32_t error);
  // Makes the next `count` opens fail.
  void fail_opens(int count);
  // Makes completion writes end with this error (0: accepted).
  void fail_writes_with(uint32_t error);

  // Completions received, as host-order words (a partial last word is zero-filled).
  std::vector<std::vector<uint32_t>> completions() const;
  std::vector<uint32_t> completion_lengths() const;
  // Time-out of every read, in order.
  std::vector<uint32_t> read_timeouts() const;
  int open_attempts() const;
  int open_channels() const;
  std::size_t requests_left() const;

  // Serves one request of the device (called by its channels).
  uint32_t serve(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                 uint32_t& returned, uint32_t timeout_ms);

 private:
  friend class standin_provider;
  friend class standin_channel;
  mutable std::mutex mutex_;
  std::deque<std::vector<uint8_t>> requests_;
  std::vector<std::vector<uint32_t>> completions_;
  std::vector<uint32_t> completion_lengths_;
  std::vector<uint32_t> read_timeouts_;
  uint32_t end_error_ = 1460;
  uint32_t write_error_ = 0;
  int failing_opens_ = 0;
  int open_attempts_ = 0;
  int open_channels_ = 0;
  std::shared_ptr<platform::device_provider> provider_;
};

// Configuration request words (host order) as the firmware sends them.
std::vector<uint32_t> config_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t tag,
                                  uint32_t first_be = 0xF, bool type1 = false);
std::vector<uint32_t> config_write(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t tag,
                                   uint32_t data, uint32_t first_be = 0xF, bool type1 = false);

}  // namespace zamlib_testing
