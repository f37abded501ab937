// The usb provider's backend in a build without libusb: there is none.
#include "usb_provider.h"

namespace platform::usb {

std::shared_ptr<backend> make_libusb_backend() { return nullptr; }

}  // namespace platform::usb
