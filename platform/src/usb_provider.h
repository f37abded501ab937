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

// A USB vendor/product ID pair. The default is the card's own, which its firmware
// enumerates with once it runs; a blank EZ-USB FX2 (no firmware yet) enumerates as
// blank_controller.
struct device_ids {
  uint16_t vendor = 0x04B4;
  uint16_t product = 0x5A4D;
  friend bool operator==(const device_ids&, const device_ids&) = default;
};
inline constexpr device_ids card_ids{0x04B4, 0x5A4D};
inline constexpr device_ids blank_controller{0x04B4, 0x8613};

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

// One endpoint of the card's interface as its descriptor gives it.
struct endpoint_info {
  uint8_t address = 0;     // bit 7 set: in
  uint8_t attributes = 0;  // bits 1:0 the transfer type (2 bulk, 3 interrupt)
  uint16_t max_packet = 0;
  friend bool operator==(const endpoint_info&, const endpoint_info&) = default;
};
inline constexpr uint8_t transfer_type_bulk = 2;
inline constexpr uint8_t transfer_type_interrupt = 3;

// The alternate setting of the card's interface that carries its pipes: the first one with
// both a bulk IN and a bulk OUT endpoint of a non-zero packet size (a blank FX2's setting 0
// has none); 0 when none has.
unsigned card_alt_setting(const std::vector<std::vector<endpoint_info>>& settings);

// Where a device sits: its bus and the port numbers from the root hub down.
struct device_place {
  uint8_t bus = 0;
  std::vector<uint8_t> ports;
};
// The order in which the `ezusb-N` numbers are given: by bus, then port path, so that a
// card keeps its number however the host lists its devices. Returns indexes into `places`.
std::vector<std::size_t> numbering_order(const std::vector<device_place>& places);

// Why an open failed: each gets its own message.
enum class open_failure { none_attached, access_denied, busy, other };
struct open_problem {
  open_failure kind = open_failure::other;
  std::string detail;  // a short reason, e.g. "none attached"
};

// One opened controller. A time-out of 0 means no limit.
class device_link {
 public:
  virtual ~device_link() = default;
  // A control transfer; returns the bytes moved or a negative result.
  virtual int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* data, uint16_t length, unsigned timeout_ms) = 0;
  // A bulk (or interrupt) transfer on an endpoint (bit 7 set: in); returns the bytes moved
  // or a negative result. A length of 0 on an OUT endpoint sends a zero-length packet.
  virtual int bulk(uint8_t endpoint, uint8_t* data, int length, unsigned timeout_ms) = 0;
  // Every endpoint of the interface's selected alternate setting, in descriptor order: the
  // driver's pipe N is the N-th of them.
  virtual std::vector<endpoint_info> endpoints() = 0;
  // Clears a halt (stall) on an endpoint; 0 or a negative result.
  virtual int clear_halt(uint8_t endpoint) = 0;
};

// Finds and opens controllers.
class backend {
 public:
  virtual ~backend() = default;
  // Opens the index-th attached device with the IDs (in numbering_order); nullptr with
  // `problem` set when there is none or it cannot be opened.
  virtual std::unique_ptr<device_link> open(device_ids ids, unsigned index,
                                            open_problem& problem) = 0;
};

struct provider_options {
  // Code downloads and CPU resets go to a device found by the blank controller's IDs only
  // when set: such a device may be any FX2 on the machine, not a card.
  bool allow_blank_download = false;
};

// The provider of the `ezusb-N` names over a backend. A failed open, a refused download
// and a device that leaves the bus each write one line to `messages`.
std::shared_ptr<device_provider> make_provider(std::shared_ptr<backend> usb, device_ids ids,
                                               std::ostream& messages,
                                               provider_options options = {});

// The libusb backend; nullptr when the build has no libusb.
std::shared_ptr<backend> make_libusb_backend();

}  // namespace platform::usb
