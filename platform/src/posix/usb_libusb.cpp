// The libusb backend of the usb provider: finds the card's controller and moves transfers.
#include <libusb.h>

#include <algorithm>

#include "../usb_provider.h"

namespace platform::usb {
namespace {

static_assert(result::timeout == LIBUSB_ERROR_TIMEOUT && result::pipe == LIBUSB_ERROR_PIPE &&
              result::no_device == LIBUSB_ERROR_NO_DEVICE &&
              result::interrupted == LIBUSB_ERROR_INTERRUPTED && result::access == LIBUSB_ERROR_ACCESS &&
              result::busy == LIBUSB_ERROR_BUSY && result::overflow == LIBUSB_ERROR_OVERFLOW,
              "the provider's results are libusb's");

constexpr int card_interface = 0;

class libusb_link : public device_link {
 public:
  libusb_link(libusb_context* context, libusb_device_handle* handle, std::vector<endpoint_info> endpoints,
              bool reattach)
      : context_(context), handle_(handle), endpoints_(std::move(endpoints)), reattach_(reattach) {}

  ~libusb_link() override {
    libusb_release_interface(handle_, card_interface);
    // The kernel driver that held the device before gets it back.
    if (reattach_) libusb_attach_kernel_driver(handle_, card_interface);
    libusb_close(handle_);
    libusb_exit(context_);
  }

  int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
              uint8_t* data, uint16_t length, unsigned timeout_ms) override {
    return libusb_control_transfer(handle_, request_type, request, value, index, data, length,
                                   timeout_ms);
  }

  int bulk(uint8_t endpoint, uint8_t* data, int length, unsigned timeout_ms) override {
    int transferred = 0;
    uint8_t none = 0;  // a zero-length packet still needs a buffer to point at
    const int status =
        libusb_bulk_transfer(handle_, endpoint, data == nullptr ? &none : data, length, &transferred, timeout_ms);
    // A time-out after part of the data moved still reports what arrived.
    if (status == LIBUSB_ERROR_TIMEOUT && transferred > 0) return transferred;
    return status < 0 ? status : transferred;
  }

  std::vector<endpoint_info> endpoints() override { return endpoints_; }

  int clear_halt(uint8_t endpoint) override { return libusb_clear_halt(handle_, endpoint); }

 private:
  libusb_context* context_;
  libusb_device_handle* handle_;
  std::vector<endpoint_info> endpoints_;
  bool reattach_;
};

// The endpoints of each alternate setting of the card's interface, in descriptor order.
std::vector<std::vector<endpoint_info>> interface_settings(libusb_device* device) {
  std::vector<std::vector<endpoint_info>> settings;
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0) return settings;
  if (config->bNumInterfaces > card_interface) {
    const libusb_interface& interface = config->interface[card_interface];
    for (int alt = 0; alt < interface.num_altsetting; ++alt) {
      const libusb_interface_descriptor& setting = interface.altsetting[alt];
      std::vector<endpoint_info>& endpoints = settings.emplace_back();
      for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
        // Bits 10:0 of wMaxPacketSize are the packet size (12:11 extra high-speed packets).
        endpoints.push_back({endpoint.bEndpointAddress, endpoint.bmAttributes,
                             static_cast<uint16_t>(endpoint.wMaxPacketSize & 0x7FF)});
      }
    }
  }
  libusb_free_config_descriptor(config);
  return settings;
}

open_failure failure_of(int status) {
  switch (status) {
    case LIBUSB_ERROR_ACCESS: return open_failure::access_denied;
    case LIBUSB_ERROR_BUSY: return open_failure::busy;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return open_failure::none_attached;
    default: return open_failure::other;
  }
}

class libusb_backend : public backend {
 public:
  std::unique_ptr<device_link> open(device_ids ids, unsigned index, open_problem& problem) override {
    libusb_context* context = nullptr;
    if (const int status = libusb_init(&context); status != 0) {
      problem = {open_failure::other, std::string("libusb cannot list USB devices: ") + libusb_strerror(status)};
      return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    // The matching devices numbered by bus and port path, as numbering_order gives them.
    std::vector<libusb_device*> matches;
    std::vector<device_place> places;
    for (ssize_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor {};
      if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
      if (descriptor.idVendor != ids.vendor || descriptor.idProduct != ids.product) continue;
      device_place place;
      place.bus = libusb_get_bus_number(list[i]);
      uint8_t ports[8] = {};
      const int depth = libusb_get_port_numbers(list[i], ports, sizeof ports);
      if (depth > 0) place.ports.assign(ports, ports + depth);
      matches.push_back(list[i]);
      places.push_back(std::move(place));
    }
    libusb_device* chosen = nullptr;
    if (index < matches.size()) chosen = matches[numbering_order(places)[index]];
    std::unique_ptr<device_link> link;
    if (chosen == nullptr) {
      problem = {open_failure::none_attached,
                 matches.empty() ? "none attached" : std::to_string(matches.size()) + " attached"};
    } else {
      link = open_device(context, chosen, problem);
    }
    if (count >= 0) libusb_free_device_list(list, 1);  // an empty list is allocated too
    if (!link) libusb_exit(context);
    return link;
  }

 private:
  // Opens the device, takes it from a kernel driver that holds it, claims the interface and
  // selects the alternate setting with the card's pipes.
  static std::unique_ptr<device_link> open_device(libusb_context* context, libusb_device* device,
                                                  open_problem& problem) {
    libusb_device_handle* handle = nullptr;
    int status = libusb_open(device, &handle);
    if (status != 0) {
      problem = {failure_of(status), std::string("cannot open it: ") + libusb_strerror(status)};
      return nullptr;
    }
    const auto fail = [&](open_failure kind, const std::string& what, int code, bool reattach) {
      problem = {kind, what + ": " + libusb_strerror(code)};
      if (reattach) libusb_attach_kernel_driver(handle, card_interface);
      libusb_close(handle);
      return nullptr;
    };
    bool detached = false;
    status = libusb_kernel_driver_active(handle, card_interface);
    if (status == 1) {
      status = libusb_detach_kernel_driver(handle, card_interface);
      if (status != 0) {
        const open_failure kind = status == LIBUSB_ERROR_ACCESS ? open_failure::access_denied : open_failure::busy;
        return fail(kind, "a kernel driver holds it and cannot be detached", status, false);
      }
      detached = true;
    }
    // LIBUSB_ERROR_NOT_SUPPORTED: the platform cannot tell; claiming then says.
    status = libusb_claim_interface(handle, card_interface);
    if (status != 0) {
      const open_failure kind = failure_of(status);
      return fail(kind, kind == open_failure::busy ? "another program has claimed its interface"
                                                   : "cannot claim its interface",
                  status, detached);
    }
    const auto settings = interface_settings(device);
    if (settings.empty()) {
      libusb_release_interface(handle, card_interface);
      problem = {open_failure::other, "it has no interface 0"};
      if (detached) libusb_attach_kernel_driver(handle, card_interface);
      libusb_close(handle);
      return nullptr;
    }
    const unsigned alt = card_alt_setting(settings);
    status = libusb_set_interface_alt_setting(handle, card_interface, static_cast<int>(alt));
    if (status != 0) {
      libusb_release_interface(handle, card_interface);
      return fail(failure_of(status) == open_failure::none_attached ? open_failure::none_attached
                                                                     : open_failure::other,
                  "cannot select alternate setting " + std::to_string(alt), status, detached);
    }
    return std::make_unique<libusb_link>(context, handle, settings[alt], detached);
  }
};

}  // namespace

std::shared_ptr<backend> make_libusb_backend() { return std::make_shared<libusb_backend>(); }

}  // namespace platform::usb
