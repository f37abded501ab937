// The usb provider's parts: the USB calls it needs (a seam that libusb or a test fills) and
// the provider that maps the EZ-USB driver's requests onto them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/devio.h"

namespace platform::usb {

// The card's USB controller as the provider looks for it. The default is an EZ-USB FX2
// as it enumerates before any firmware has been downloaded.
struct device_ids {
  uint16_t vendor = 0x04B4;
  uint16_t product = 0x8613;
};

// "vvvv:pppp" in hexadecimal (an optional 0x on each); nullopt when malformed.
std::optional<device_ids> parse_device_ids(std::string_view text);

// Results of the USB calls: a byte count (>= 0) or one of these, the values libusb uses.
namespace result {
inline constexpr int io = -1;
inline constexpr int invalid_param = -2;
inline constexpr int access = -3;
inline constexpr int no_device = -4;
inline constexpr int not_found = -5;
inline constexpr int busy = -6;
inline constexpr int timeout = -7;
inline constexpr int overflow = -8;
inline constexpr int pipe = -9;  // the device stalled the request
inline constexpr int interrupted = -10;
}  // namespace result

// Windows-style codes of the ended-early requests (ERROR_TIMEOUT, ERROR_OPERATION_ABORTED).
inline constexpr uint32_t error_timeout = 1460;
inline constexpr uint32_t error_operation_aborted = 995;

// Maps a negative USB call result onto a Windows-style error code.
uint32_t error_code_of(int usb_result);

// One opened controller. A time-out of 0 means no limit.
class device_link {
 public:
  virtual ~device_link() = default;
  // A control transfer; returns the bytes moved or a negative result.
  virtual int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* data, uint16_t length, unsigned timeout_ms) = 0;
  // A bulk transfer on an endpoint (bit 7 set: in); returns the bytes moved or a negative
  // result.
  virtual int bulk(uint8_t endpoint, uint8_t* data, int length, unsigned timeout_ms) = 0;
  // The bulk endpoint addresses of the controller's interface, in descriptor order: the
  // driver's pipe N is the N-th of them.
  virtual std::vector<uint8_t> bulk_endpoints() = 0;
};

// Finds and opens controllers.
class backend {
 public:
  virtual ~backend() = default;
  // Opens the index-th attached device with the IDs; nullptr with `problem` set (a short
  // reason, e.g. "none attached") when there is none or it cannot be opened.
  virtual std::unique_ptr<device_link> open(device_ids ids, unsigned index,
                                            std::string& problem) = 0;
};

// The provider of the `ezusb-N` names over a backend. A failed open writes one line
// naming what it looked for to `messages`.
std::shared_ptr<device_provider> make_provider(std::shared_ptr<backend> usb, device_ids ids,
                                               std::ostream& messages);

// The libusb backend; nullptr when the build has no libusb.
std::shared_ptr<backend> make_libusb_backend();

}  // namespace platform::usb
