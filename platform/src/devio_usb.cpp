// The usb provider: the EZ-USB driver's requests on the `ezusb-N` names, served as USB
// control and bulk transfers on a real card.
#include <cctype>
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

class usb_channel : public device_channel {
 public:
  explicit usb_channel(std::unique_ptr<device_link> link)
      : link_(std::move(link)), endpoints_(link_->bulk_endpoints()) {}

  uint32_t control(uint32_t code, const void* in_bytes, uint32_t in_length, void* out_bytes,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    const auto* in = static_cast<const uint8_t*>(in_bytes);
    auto* out = static_cast<uint8_t*>(out_bytes);
    returned = 0;
    const unsigned timeout = usb_timeout(timeout_ms);
    switch (code) {
      case ioctl_vendor_request:
        return vendor_request(in, in_length, out, out_capacity, returned, timeout);
      case ioctl_bulk_read:
      case ioctl_bulk_write:
        return bulk(code == ioctl_bulk_read, in, in_length, out, out_capacity, returned, timeout);
      case ioctl_reset_control:
        return reset_control(in, in_length, timeout);
      case ioctl_anchor_download:
        return anchor_download(in, in_length, out, out_capacity, returned, timeout);
      default:
        return error::invalid_function;
    }
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

  // Pipe number (u32); the data buffer is filled by a read and sent by a write.
  uint32_t bulk(bool read, const uint8_t* in, uint32_t in_length, uint8_t* out,
                uint32_t out_capacity, uint32_t& returned, unsigned timeout) {
    if (in_length != 4) return error::invalid_parameter;
    const uint32_t pipe = le32(in);
    if (pipe >= endpoints_.size()) return error::invalid_parameter;
    const uint8_t endpoint = endpoints_[pipe];
    if (((endpoint & 0x80) != 0) != read) return error::invalid_parameter;
    const int done = link_->bulk(endpoint, out, static_cast<int>(out_capacity), timeout);
    if (done < 0) return error_code_of(done);
    if (!read && static_cast<uint32_t>(done) != out_capacity) return error::gen_failure;
    returned = static_cast<uint32_t>(done);
    return error::success;
  }

  // Reset record: request, pad, value, index, length, direction, data.
  uint32_t reset_control(const uint8_t* in, uint32_t in_length, unsigned timeout) {
    if (in_length != reset_record_size) return error::invalid_parameter;
    uint8_t data = in[9];
    const int done = link_->control(request_type_vendor_out, in[0], le16(in + 2), le16(in + 4),
                                    &data, 1, timeout);
    return done < 0 ? error_code_of(done) : error::success;
  }

  // RAM address (u16); the data buffer holds the bytes to place there.
  uint32_t anchor_download(const uint8_t* in, uint32_t in_length, uint8_t* data,
                           uint32_t length, uint32_t& returned, unsigned timeout) {
    if (in_length != 2 || length > max_control_length) return error::invalid_parameter;
    const int done = link_->control(request_type_vendor_out, request_firmware_load, le16(in), 0,
                                    data, static_cast<uint16_t>(length), timeout);
    if (done < 0) return error_code_of(done);
    returned = static_cast<uint32_t>(done);
    return error::success;
  }

  std::unique_ptr<device_link> link_;
  std::vector<uint8_t> endpoints_;
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
  usb_provider(std::shared_ptr<backend> usb, device_ids ids, std::ostream& messages)
      : usb_(std::move(usb)), ids_(ids), messages_(messages) {}

  std::string name() const override { return "usb"; }
  bool serves(const guid&) const override { return false; }
  std::vector<std::string> interfaces(const guid&) override { return {}; }
  bool owns_path(const std::string& path) const override { return card_number(path).has_value(); }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    const unsigned number = *card_number(path);
    std::string problem;
    auto link = usb_->open(ids_, number, problem);
    if (!link) {
      char ids[16];
      std::snprintf(ids, sizeof ids, "%04x:%04x", ids_.vendor, ids_.product);
      messages_ << "usb: no card attached for " << path << ": looked for USB device " << ids
                << " number " << number << " (" << problem
                << "); set ZAM_USB_ID=vvvv:pppp to look for another controller\n";
      messages_.flush();
      error_code = error::file_not_found;
      return nullptr;
    }
    return std::make_unique<usb_channel>(std::move(link));
  }

 private:
  std::shared_ptr<backend> usb_;
  device_ids ids_;
  std::ostream& messages_;
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
                                               std::ostream& messages) {
  return std::make_shared<usb_provider>(std::move(usb), ids, messages);
}

}  // namespace platform::usb

namespace platform {

// The card's controller IDs come from ZAM_USB_ID ("vvvv:pppp") when it is set and well
// formed; a malformed value is reported once and the default is used.
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
  return usb::make_provider(std::move(usb), ids, std::cerr);
}

}  // namespace platform
