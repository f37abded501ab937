// The card's USB device: opening with retries and bulk transfers on its pipes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/devio.h"

namespace zamlib {

// EZ-USB driver control codes and the pipes of the card's bulk endpoints.
inline constexpr uint32_t ioctl_bulk_read = 0x0022204E;
inline constexpr uint32_t ioctl_bulk_write = 0x00222051;
inline constexpr uint32_t request_pipe = 1;
inline constexpr uint32_t completion_pipe = 0;

inline constexpr uint32_t open_retry_ms = 200;

class usb_link {
 public:
  using sleeper = std::function<void(uint32_t ms)>;

  explicit usb_link(std::string device_name = "ezusb-0", sleeper sleep = nullptr);
  ~usb_link();
  usb_link(const usb_link&) = delete;
  usb_link& operator=(const usb_link&) = delete;

  // Opens the device (closing one already open), retrying every 200 ms until timeout_ms
  // has been waited. True when open.
  bool open(uint32_t timeout_ms);
  void close();
  bool is_open() const { return handle_ != platform::invalid_handle; }

  // One bulk transfer on a pipe: `data` is the driver's buffer of `length` bytes (read
  // into, or sent from). Returns 0, or the Windows error code: 1460 when the time-out
  // passed, 995 when the device aborted the request. Prints the driver's errors.
  uint32_t transfer(uint32_t code, uint32_t pipe, void* data, uint32_t length, uint32_t timeout_ms,
                    uint32_t& returned);

 private:
  std::string device_name_;
  sleeper sleep_;
  platform::device_handle handle_ = platform::invalid_handle;
};

}  // namespace zamlib
