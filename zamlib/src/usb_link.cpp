// The card's USB device: open with retries, and bulk transfers with their time-outs.
#include "usb_link.h"

#include <cstdio>

#include "platform/clock.h"

namespace zamlib {

usb_link::usb_link(std::string device_name, sleeper sleep)
    : device_name_(std::move(device_name)), sleep_(sleep ? std::move(sleep) : sleeper(platform::sleep_ms)) {}

usb_link::~usb_link() { close(); }

bool usb_link::open(uint32_t timeout_ms) {
  // A second initialisation replaces the first handle rather than leaking it.
  close();
  uint32_t waited = 0;
  for (;;) {
    handle_ = platform::open_device(device_name_);
    if (handle_ != platform::invalid_handle) return true;
    if (waited >= timeout_ms) return false;
    sleep_(open_retry_ms);
    waited += open_retry_ms;
  }
}

void usb_link::close() {
  if (handle_ == platform::invalid_handle) return;
  platform::close_device(handle_);
  handle_ = platform::invalid_handle;
}

uint32_t usb_link::transfer(uint32_t code, uint32_t pipe, void* data, uint32_t length, uint32_t timeout_ms,
                            uint32_t& returned) {
  returned = 0;
  // The time-out travels with the request: the driver ends it there, so a request that
  // timed out is withdrawn and can neither be lost nor land in the buffer later.
  if (platform::device_control(handle_, code, &pipe, sizeof pipe, data, length, &returned, timeout_ms)) return 0;
  const uint32_t error = platform::last_error();
  if (error == platform::error::timeout) {
    std::printf("DeviceIoControl TIMEOUT!\n");
  } else {
    std::printf("DeviceIoControl Error (%x)!\n", error);
  }
  std::fflush(stdout);
  return error;
}

}  // namespace zamlib
