// The usb provider: the EZ-USB driver's requests on the `ezusb-N` names, served as USB
// control and bulk transfers on a real card.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "usb_provider.h"

namespace platform::usb {
namespace {

// Request codes of the EZ-USB device driver.
constexpr uint32_t ioctl_vendor_request = 0x222059;
constexpr uint32_t ioctl_bulk_read = 0x22204E;
constexpr uint32_t ioctl_bulk_write = 0x222051;
constexpr uint32_t ioctl_reset_control = 0x222014;
constexpr uint32_t ioctl_anchor_download = 0x22206D;

// The EZ-USB's built-in request that writes its RAM and CPU control register.
constexpr uint8_t request_firmware_load = 0xA0;
constexpr uint8_t request_type_vendor_out = 0x40;

constexpr std::size_t vendor_record_size = 10;
constexpr std::size_t reset_record_size = 10;
constexpr uint32_t max_control_length = 0xFFFF;

uint16_t le16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

uint32_t le32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The driver waits without limit; libusb spells that 0. A zero wait still gets one tick.
unsigned usb_timeout(uint32_t timeout_ms) {
  if (timeout_ms == infinite_timeout) return 0;
  return timeout_ms == 0 ? 1 : timeout_ms;
}

std::string ids_text(device_ids ids) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", ids.vendor, ids.product);
  return text;
}

// What the channel says on the provider's message stream, once each.
struct channel_context {
  std::string path;
  device_ids ids;
  provider_options options;
  std::ostream* messages;
};

class usb_channel : public device_channel {
 public:
  usb_channel(std::unique_ptr<device_link> link, channel_context context)
      : link_(std::move(link)), endpoints_(link_->endpoints()), context_(std::move(context)),
        pending_(endpoints_.size()), halted_(endpoints_.size(), false) {}

  uint32_t control(uint32_t code, const void* in_bytes, uint32_t in_length, void* out_bytes,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    const auto* in = static_cast<const uint8_t*>(in_bytes);
    auto* out = static_cast<uint8_t*>(out_bytes);
    returned = 0;
    const unsigned timeout = usb_timeout(timeout_ms);
    uint32_t status = error::success;
    switch (code) {
      case ioctl_vendor_request:
        status = vendor_request(in, in_length, out, out_capacity, returned, timeout);
        break;
      case ioctl_bulk_read:
      case ioctl_bulk_write:
        status = bulk(code == ioctl_bulk_read, in, in_length, out, out_capacity, returned, timeout);
        break;
      case ioctl_reset_control:
        status = reset_control(in, in_length, timeout);
        break;
      case ioctl_anchor_download:
        status = anchor_download(in, in_length, out, out_capacity, returned, timeout);
        break;
      default:
        return error::invalid_function;
    }
    if (status == error::device_not_connected && !said_gone_) {
      said_gone_ = true;
      *context_.messages << "usb: the card of " << context_.path
                         << " left the USB bus during a request (a power cycle or a new "
                            "enumeration); open "
                         << context_.path << " again to reach it\n";
      context_.messages->flush();
    }
    return status;
  }

 private:
  // Control record: direction, type, recipient, reserved, request, pad, value, index.
  // The data buffer (the output) is filled by a read and sent by a write.
  uint32_t vendor_request(const uint8_t* in, uint32_t in_length, uint8_t* out,
                          uint32_t out_capacity, uint32_t& returned, unsigned timeout) {
    if (in_length != vendor_record_size || out_capacity > max_control_length) {
      return error::invalid_parameter;
    }
    const bool read = in[0] == 1;
    const auto request_type =
        static_cast<uint8_t>((read ? 0x80 : 0x00) | (in[1] & 0x03) << 5 | (in[2] & 0x1F));
    const uint8_t request = in[4];
    const uint16_t value = le16(in + 6), index = le16(in + 8);
    const int done = link_->control(request_type, request, value, index, out,
                                    static_cast<uint16_t>(out_capacity), timeout);
    if (done < 0) return error_code_of(done);
    returned = static_cast<uint32_t>(done);
    return error::success;
  }

  // Pipe number (u32); the data buffer is filled by a read and sent by a write. Pipe N is
  // the N-th endpoint of the interface; control and isochronous ones carry no bulk request.
  uint32_t bulk(bool read, const uint8_t* in, uint32_t in_length, uint8_t* out,
                uint32_t out_capacity, uint32_t& returned, unsigned timeout) {
    if (in_length != 4) return error::invalid_parameter;
    const uint32_t pipe = le32(in);
    if (pipe >= endpoints_.size()) return error::invalid_parameter;
    const endpoint_info& endpoint = endpoints_[pipe];
    const uint8_t type = endpoint.attributes & 0x03;
    if (type != transfer_type_bulk && type != transfer_type_interrupt) return error::invalid_parameter;
    if (((endpoint.address & 0x80) != 0) != read) return error::invalid_parameter;
    if (out_capacity > 0x7FFFFFFFu || (out_capacity > 0 && out == nullptr)) return error::invalid_parameter;
    // A stalled endpoint is cleared before its next transfer; one that does not clear fails.
    if (halted_[pipe]) {
      if (const int cleared = link_->clear_halt(endpoint.address); cleared < 0) return error_code_of(cleared);
      halted_[pipe] = false;
    }
    return read ? bulk_read(pipe, endpoint, out, out_capacity, returned, timeout)
                : bulk_write(pipe, endpoint, out, out_capacity, returned, timeout);
  }

  // A read asks the endpoint for whole packets, so a packet longer than the caller's buffer
  // never overflows the transfer: what does not fit is kept and given to the next read on
  // the pipe first, without a transfer.
  uint32_t bulk_read(uint32_t pipe, const endpoint_info& endpoint, uint8_t* out, uint32_t capacity,
                     uint32_t& returned, unsigned timeout) {
    std::vector<uint8_t>& pending = pending_[pipe];
    if (!pending.empty()) {
      const std::size_t n = std::min<std::size_t>(capacity, pending.size());
      std::memcpy(out, pending.data(), n);
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
      returned = static_cast<uint32_t>(n);
      return error::success;
    }
    if (capacity == 0) return error::invalid_parameter;
    const uint32_t packet = endpoint.max_packet == 0 ? 64 : endpoint.max_packet;
    const uint64_t asked = (uint64_t{capacity} + packet - 1) / packet * packet;
    if (asked > 0x7FFFFFFF) return error::invalid_parameter;
    buffer_.resize(static_cast<std::size_t>(asked));
    const int done = link_->bulk(endpoint.address, buffer_.data(), static_cast<int>(asked), timeout);
    if (done < 0) return transfer_failed(pipe, done);
    const auto got = static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(done), asked));
    const uint32_t n = std::min(got, capacity);
    std::memcpy(out, buffer_.data(), n);
    pending.assign(buffer_.begin() + n, buffer_.begin() + got);
    returned = n;
    return error::success;
  }

  // A write whose length is a whole number of packets ends with a zero-length packet on a
  // bulk pipe: the card takes a short packet as the end of one completion, and would
  // otherwise join this one to the next.
  uint32_t bulk_write(uint32_t pipe, const endpoint_info& endpoint, uint8_t* data, uint32_t length,
                      uint32_t& returned, unsigned timeout) {
    const int done = link_->bulk(endpoint.address, data, static_cast<int>(length), timeout);
    if (done < 0) return transfer_failed(pipe, done);
    if (static_cast<uint32_t>(done) != length) return error::gen_failure;
    const uint8_t type = endpoint.attributes & 0x03;
    if (type == transfer_type_bulk && length > 0 && endpoint.max_packet > 0 && length % endpoint.max_packet == 0) {
      const int end = link_->bulk(endpoint.address, nullptr, 0, timeout);
      if (end < 0) return transfer_failed(pipe, end);
    }
    returned = length;
    return error::success;
  }

  uint32_t transfer_failed(uint32_t pipe, int result) {
    if (result == result::pipe) halted_[pipe] = true;
    return error_code_of(result);
  }

  // Code downloads and CPU resets: refused on a blank controller unless the user allows it.
  bool download_refused() {
    if (!(context_.ids == blank_controller) || context_.options.allow_blank_download) return false;
    if (!said_blank_) {
      said_blank_ = true;
      *context_.messages << "usb: " << context_.path << " is a blank EZ-USB controller ("
                         << ids_text(blank_controller)
                         << "), which may be any FX2 device on this machine, not the card: no "
                            "code is downloaded into it; set ZAM_USB_ALLOW_BLANK=1 to do so\n";
      context_.messages->flush();
    }
    return true;
  }

  // Reset record: request, pad, value, index, length, direction, data.
  uint32_t reset_control(const uint8_t* in, uint32_t in_length, unsigned timeout) {
    if (in_length != reset_record_size) return error::invalid_parameter;
    if (download_refused()) return error::access_denied;
    uint8_t data = in[9];
    const int done = link_->control(request_type_vendor_out, in[0], le16(in + 2), le16(in + 4),
                                    &data, 1, timeout);
    return done < 0 ? error_code_of(done) : error::success;
  }

  // RAM address (u16); the data buffer holds the bytes to place there.
  uint32_t anchor_download(const uint8_t* in, uint32_t in_length, uint8_t* data,
                           uint32_t length, uint32_t& returned, unsigned timeout) {
    if (in_length != 2 || length > max_control_length) return error::invalid_parameter;
    if (download_refused()) return error::access_denied;
    const int done = link_->control(request_type_vendor_out, request_firmware_load, le16(in), 0,
                                    data, static_cast<uint16_t>(length), timeout);
    if (done < 0) return error_code_of(done);
    returned = static_cast<uint32_t>(done);
    return error::success;
  }

  std::unique_ptr<device_link> link_;
  std::vector<endpoint_info> endpoints_;
  channel_context context_;
  std::vector<std::vector<uint8_t>> pending_;  // per pipe: the rest of the last packet read
  std::vector<bool> halted_;                   // per pipe: stalled, not yet cleared
  std::vector<uint8_t> buffer_;
  bool said_gone_ = false;
  bool said_blank_ = false;
};

// "ezusb-N" (in any case) with N a decimal card number of at most three digits.
std::optional<unsigned> card_number(const std::string& path) {
  constexpr std::size_t prefix_length = 6;  // "ezusb-"
  const auto name = ezusb_device_name(path);
  if (!name || name->size() > prefix_length + 3) return std::nullopt;
  unsigned number = 0;
  for (std::size_t i = prefix_length; i < name->size(); ++i) number = number * 10 + static_cast<unsigned>((*name)[i] - '0');
  return number;
}

class usb_provider : public device_provider {
 public:
  usb_provider(std::shared_ptr<backend> usb, device_ids ids, std::ostream& messages,
               provider_options options)
      : usb_(std::move(usb)), ids_(ids), messages_(messages), options_(options) {}

  std::string name() const override { return "usb"; }
  bool serves(const guid&) const override { return false; }
  std::vector<std::string> interfaces(const guid&) override { return {}; }
  bool owns_path(const std::string& path) const override { return card_number(path).has_value(); }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    const unsigned number = *card_number(path);
    open_problem problem;
    auto link = usb_->open(ids_, number, problem);
    if (link) return std::make_unique<usb_channel>(std::move(link), channel_context{path, ids_, options_, &messages_});
    const std::string device = "USB device " + ids_text(ids_) + " number " + std::to_string(number);
    switch (problem.kind) {
      case open_failure::none_attached:
        messages_ << "usb: no card attached for " << path << ": looked for " << device << " ("
                  << problem.detail << "); set ZAM_USB_ID=vvvv:pppp to look for another controller\n";
        error_code = error::file_not_found;
        break;
      case open_failure::access_denied:
        messages_ << "usb: access denied to the card for " << path << ": " << device << " ("
                  << problem.detail
                  << "); install the udev rule 60-zam-card.rules (it gives the seat's user and "
                     "the plugdev group access), then plug the card in again\n";
        error_code = error::access_denied;
        break;
      case open_failure::busy:
        messages_ << "usb: the card is busy for " << path << ": " << device << " ("
                  << problem.detail << "); another program holds it: end that program and try again\n";
        error_code = error::busy;
        break;
      case open_failure::other:
        messages_ << "usb: cannot open the card for " << path << ": " << device << " ("
                  << problem.detail << ")\n";
        error_code = error::gen_failure;
        break;
    }
    messages_.flush();
    return nullptr;
  }

 private:
  std::shared_ptr<backend> usb_;
  device_ids ids_;
  std::ostream& messages_;
  provider_options options_;
};

std::optional<uint16_t> parse_hex16(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty() || text.size() > 4) return std::nullopt;
  uint16_t value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int digit = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    value = static_cast<uint16_t>(value << 4 | digit);
  }
  return value;
}

}  // namespace

std::optional<device_ids> parse_device_ids(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto vendor = parse_hex16(text.substr(0, colon));
  const auto product = parse_hex16(text.substr(colon + 1));
  if (!vendor || !product) return std::nullopt;
  return device_ids{*vendor, *product};
}

uint32_t error_code_of(int usb_result) {
  switch (usb_result) {
    case result::timeout: return error_timeout;
    case result::interrupted: return error_operation_aborted;
    case result::no_device: return error::device_not_connected;
    case result::access: return error::access_denied;
    case result::invalid_param: return error::invalid_parameter;
    case result::overflow: return error::insufficient_buffer;
    default: return error::gen_failure;
  }
}

std::shared_ptr<device_provider> make_provider(std::shared_ptr<backend> usb, device_ids ids,
                                               std::ostream& messages, provider_options options) {
  return std::make_shared<usb_provider>(std::move(usb), ids, messages, options);
}

unsigned card_alt_setting(const std::vector<std::vector<endpoint_info>>& settings) {
  for (std::size_t alt = 0; alt < settings.size(); ++alt) {
    bool bulk_in = false, bulk_out = false;
    for (const endpoint_info& endpoint : settings[alt]) {
      if ((endpoint.attributes & 0x03) != transfer_type_bulk || endpoint.max_packet == 0) continue;
      ((endpoint.address & 0x80) != 0 ? bulk_in : bulk_out) = true;
    }
    if (bulk_in && bulk_out) return static_cast<unsigned>(alt);
  }
  return 0;
}

std::vector<std::size_t> numbering_order(const std::vector<device_place>& places) {
  std::vector<std::size_t> order(places.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (places[a].bus != places[b].bus) return places[a].bus < places[b].bus;
    return places[a].ports < places[b].ports;
  });
  return order;
}

}  // namespace platform::usb

namespace platform {

// The card's controller IDs come from ZAM_USB_ID ("vvvv:pppp") when it is set and well
// formed; a malformed value is reported once and the default is used. ZAM_USB_ALLOW_BLANK=1
// lets code downloads reach a blank controller.
std::shared_ptr<device_provider> make_usb_provider() {
  auto usb = usb::make_libusb_backend();
  if (!usb) return nullptr;
  usb::device_ids ids;
  if (const char* text = std::getenv("ZAM_USB_ID"); text != nullptr && *text != '\0') {
    if (auto parsed = usb::parse_device_ids(text)) {
      ids = *parsed;
    } else {
      std::cerr << "usb: ZAM_USB_ID=" << text << " is not vvvv:pppp; using the default\n";
    }
  }
  usb::provider_options options;
  if (const char* text = std::getenv("ZAM_USB_ALLOW_BLANK"); text != nullptr) {
    options.allow_blank_download = std::string_view(text) == "1";
  }
  return usb::make_provider(std::move(usb), ids, std::cerr, options);
}

}  // namespace platform
