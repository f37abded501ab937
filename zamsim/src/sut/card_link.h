// The system under test's configuration requests into the card's bus range: each one goes
// out on the card's bulk pipe 1 as a TLP and waits for the host's completion on pipe 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/config_access.h"
#include "usb/usb_controller.h"

namespace zamsim {

struct card_link_options {
  uint16_t requester_id = 0x0000;  // the root complex: bus 0, device 0, function 0
  // How long a request waits for its completion (real time; the host answers at its own
  // pace). Silence this long is a completion time-out: the read gives all ones.
  uint32_t completion_timeout_ms = 2100;
};

// One configuration request as the card sends it on pipe 1 (header words most
// significant byte first; the data dword in configuration byte order).
std::vector<uint8_t> encode_config_request(bool type1, bool write, uint16_t requester_id, uint8_t tag, bdf target,
                                           uint16_t offset, uint8_t byte_enables, uint32_t value);

// What a completion from the host says, when it is one for `requester_id` and `tag`.
struct decoded_completion {
  bool valid = false;
  completion status = completion::none;
  uint32_t value = 0xFFFFFFFFu;  // configuration byte 0 in bits 7..0
};
decoded_completion decode_completion(const std::vector<uint8_t>& bytes, uint16_t requester_id, uint8_t tag);

class card_link_access {
 public:
  card_link_access(usb_controller& usb, const card_link_options& options, const std::atomic<bool>& stop)
      : usb_(usb), options_(options), stop_(stop) {}

  // A Type 0 request when `type1` is false. An answer that is not a completion for this
  // request is dropped; no valid answer in time is a completion time-out (none).
  completion read_dword(bool type1, bdf target, uint16_t offset, uint32_t& value);
  completion write_dword(bool type1, bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value);
  // A configuration write that nobody answers: the firmware's "done" marker.
  void post_write(bool type1, bdf target, uint16_t offset, uint32_t value);

  uint32_t requests_sent() const { return sent_; }

 private:
  completion exchange(const std::vector<uint8_t>& request, uint8_t tag, uint32_t* value);

  usb_controller& usb_;
  card_link_options options_;
  const std::atomic<bool>& stop_;
  uint8_t next_tag_ = 0;
  uint32_t sent_ = 0;
};

}  // namespace zamsim
