// What the exports do: configuration requests in, completions out, each packet logged.
#pragma once

#include <cstdint>

#include "packet_log.h"
#include "usb_link.h"

namespace zamlib {

class card_interface {
 public:
  card_interface(usb_link& link, packet_log& log) : link_(link), log_(log) {}

  uint32_t init(uint32_t timeout_ms);
  uint32_t close();
  uint32_t read_request(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read, uint32_t* buffer);
  uint32_t write_completion(const uint32_t* completion, uint32_t length, uint32_t timeout_ms);

 private:
  usb_link& link_;
  packet_log& log_;
};

}  // namespace zamlib
