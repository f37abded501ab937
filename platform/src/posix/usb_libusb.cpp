// The libusb backend of the usb provider: finds the card's controller and moves transfers.
#include <libusb.h>

#include "../usb_provider.h"

namespace platform::usb {
namespace {

static_assert(result::timeout == LIBUSB_ERROR_TIMEOUT && result::pipe == LIBUSB_ERROR_PIPE &&
              result::no_device == LIBUSB_ERROR_NO_DEVICE &&
              result::interrupted == LIBUSB_ERROR_INTERRUPTED,
              "the provider's results are libusb's");

class libusb_link : public device_link {
 public:
  libusb_link(libusb_context* context, libusb_device_handle* handle, std::vector<uint8_t> endpoints)
      : context_(context), handle_(handle), endpoints_(std::move(endpoints)) {}

  ~libusb_link() override {
    libusb_release_interface(handle_, 0);
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
    const int status = libusb_bulk_transfer(handle_, endpoint, data, length, &transferred, timeout_ms);
    // A time-out after part of the data moved still reports what arrived.
    if (status == LIBUSB_ERROR_TIMEOUT && transferred > 0) return transferred;
    return status < 0 ? status : transferred;
  }

  std::vector<uint8_t> bulk_endpoints() override { return endpoints_; }

 private:
  libusb_context* context_;
  libusb_device_handle* handle_;
  std::vector<uint8_t> endpoints_;
};

// Bulk endpoints of interface 0, alternate setting 0, in descriptor order.
std::vector<uint8_t> bulk_endpoints_of(libusb_device* device) {
  std::vector<uint8_t> endpoints;
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0) return endpoints;
  if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
    const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
      const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
      if ((endpoint.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_BULK) {
        endpoints.push_back(endpoint.bEndpointAddress);
      }
    }
  }
  libusb_free_config_descriptor(config);
  return endpoints;
}

class libusb_backend : public backend {
 public:
  std::unique_ptr<device_link> open(device_ids ids, unsigned index, std::string& problem) override {
    libusb_context* context = nullptr;
    if (const int status = libusb_init(&context); status != 0) {
      problem = std::string("libusb cannot list USB devices: ") + libusb_strerror(status);
      return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    libusb_device* chosen = nullptr;
    unsigned seen = 0;
    for (ssize_t i = 0; i < count && chosen == nullptr; ++i) {
      libusb_device_descriptor descriptor {};
      if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
      if (descriptor.idVendor != ids.vendor || descriptor.idProduct != ids.product) continue;
      if (seen++ == index) chosen = list[i];
    }
    libusb_device_handle* handle = nullptr;
    int status = LIBUSB_ERROR_NOT_FOUND;
    if (chosen != nullptr) status = libusb_open(chosen, &handle);
    std::vector<uint8_t> endpoints;
    if (handle != nullptr) {
      libusb_set_auto_detach_kernel_driver(handle, 1);
      status = libusb_claim_interface(handle, 0);
      if (status == 0) endpoints = bulk_endpoints_of(chosen);
    }
    if (count >= 0) libusb_free_device_list(list, 1);  // an empty list is allocated too
    if (status != 0) {
      if (chosen == nullptr) {
        problem = seen == 0 ? "none attached" : std::to_string(seen) + " attached";
      } else {
        problem = std::string("cannot open it: ") + libusb_strerror(status);
      }
      if (handle != nullptr) libusb_close(handle);
      libusb_exit(context);
      return nullptr;
    }
    return std::make_unique<libusb_link>(context, handle, std::move(endpoints));
  }
};

}  // namespace

std::shared_ptr<backend> make_libusb_backend() { return std::make_shared<libusb_backend>(); }

}  // namespace platform::usb
