// Device interfaces and device control: the stand-in for SetupAPI and DeviceIoControl.
//
// Conventions:
// - A driver family is named by its device interface class GUID. `device_interfaces`
//   lists the interface paths of a class in index order; `open_device` opens one.
// - `device_control` sends one buffered request: `in` bytes go to the driver, up to
//   `out_capacity` bytes come back, `*returned` tells how many. It returns true when the
//   driver accepted the request; on false, `last_error()` holds a Windows-style error code
//   (see the `error` namespace). The same buffer may serve as `in` and `out`.
// - A request carries its time-out into the provider, which ends it in one of three
//   distinct ways: completed (true), timed out (false, error::timeout) or aborted by the
//   device (false, error::operation_aborted, e.g. a reset while a read waited). A request
//   that timed out is withdrawn by the provider before the call returns: nothing it would
//   have read is consumed, and nothing arrives late into the caller's buffer.
// - Providers serve the requests. Exactly one place chooses which provider serves a class
//   (`active_provider_for`): providers registered in-process (unit tests) come first, in
//   registration order; then, when `ZAM_CONFIG_DUMP` names a file, the dump provider for
//   the configuration-space class (read-only, from a text dump of `lspci -x`); then the lab
//   when `ZAMSIM_SOCKET` is set; else the sysfs provider and, for the `ezusb-N` names, the
//   usb provider.
// - Handles are process-wide small integers; `invalid_handle` is never a valid one.
//   Calls are thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zam_export.h"

namespace platform {

// Windows-style error codes reported by device control and the providers.
namespace error {
inline constexpr uint32_t success = 0;
inline constexpr uint32_t invalid_function = 1;
inline constexpr uint32_t file_not_found = 2;
inline constexpr uint32_t access_denied = 5;
inline constexpr uint32_t invalid_handle = 6;
inline constexpr uint32_t gen_failure = 31;
inline constexpr uint32_t not_supported = 50;
inline constexpr uint32_t busy = 170;
inline constexpr uint32_t invalid_parameter = 87;
inline constexpr uint32_t sem_timeout = 121;
inline constexpr uint32_t insufficient_buffer = 122;
inline constexpr uint32_t no_more_items = 259;
inline constexpr uint32_t operation_aborted = 995;
inline constexpr uint32_t io_pending = 997;
inline constexpr uint32_t device_not_connected = 1167;
inline constexpr uint32_t timeout = 1460;
}  // namespace error

// A device interface class GUID, as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
struct guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};

  // Parses the braced or bare text form; nullopt when malformed.
  static std::optional<guid> parse(std::string_view text);
  // Upper-case braced text form.
  std::string to_string() const;
  friend bool operator==(const guid&, const guid&) = default;
};

// The four driver families of the suite.
namespace driver_class {
extern const guid config_space;    // {83972628-020A-4B3D-A654-66B608394A70}
extern const guid known_endpoint;  // {FED8E8D4-C192-43C1-8EF0-5D5B8160156D}
extern const guid zam_card;        // {36F7A520-ED0B-4E9A-A14F-8C691F120AF1}
extern const guid farrow_port;     // {E1D91E61-750C-45FF-B0A7-28B2AC459817}
}  // namespace driver_class

inline constexpr uint32_t infinite_timeout = 0xFFFFFFFFu;

// One opened interface of a provider.
class device_channel {
 public:
  virtual ~device_channel() = default;
  // Serves one request; returns a Windows-style error code (error::success when accepted)
  // and sets `returned` to the output bytes written (at most out_capacity).
  virtual uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                           uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) = 0;
};

// A source of device interfaces (lab, sysfs, usb, a unit test's fake).
class device_provider {
 public:
  virtual ~device_provider() = default;
  virtual std::string name() const = 0;
  // Whether this provider answers for the class (and so hides providers after it).
  virtual bool serves(const guid& interface_class) const = 0;
  // Interface paths of the class in index order.
  virtual std::vector<std::string> interfaces(const guid& interface_class) = 0;
  // Whether this provider owns the path (paths it listed, or names such as "ezusb-0").
  virtual bool owns_path(const std::string& path) const = 0;
  // Opens an interface; nullptr with `error_code` set on failure.
  virtual std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) = 0;
  // Why the provider's drivers cannot answer now (the lab's daemon went away, did not answer
  // in time, or cannot be reached); empty while they answer.
  virtual std::string trouble() const { return {}; }
};

using device_handle = int32_t;
inline constexpr device_handle invalid_handle = -1;

// Registry of in-process providers (unit tests). Registered providers take precedence
// over the built-in ones, in registration order.
//
// Each shared library carries its own copy of this static layer, and so its own registry.
// A test program that places ZAM_SHARE_DEVICE_PROVIDERS() in one of its sources (and is
// linked with exported symbols, CMake ENABLE_EXPORTS) makes every library it loads use the
// program's registry and handle table, so fakes it registers reach those libraries too.
void register_provider(std::shared_ptr<device_provider> provider);
void unregister_provider(const std::shared_ptr<device_provider>& provider);
void clear_registered_providers();

// The provider that serves a class; nullptr when none does.
std::shared_ptr<device_provider> active_provider_for(const guid& interface_class);

// Interface paths of a class, index order; empty when no provider serves it.
std::vector<std::string> device_interfaces(const guid& interface_class);

// Opens an interface path (or a device name such as "ezusb-0"); invalid_handle on failure
// with last_error() set.
device_handle open_device(const std::string& path);

// An EZ-USB driver's device name, "ezusb-" and a decimal card number, its letters in any
// case (Windows device names ignore case; the tools' usage texts spell it "EZUSB-0"): the
// name with the prefix in lower case, as the providers know it; nullopt for anything else.
std::optional<std::string> ezusb_device_name(std::string_view name);

// Sends one request. timeout_ms goes to the provider and bounds how long the request may
// wait for the device (infinite_timeout: no bound of its own); a request that waits longer
// ends with error::timeout, one the device aborts with error::operation_aborted.
bool device_control(device_handle handle, uint32_t code, const void* in, uint32_t in_length,
                    void* out, uint32_t out_capacity, uint32_t* returned,
                    uint32_t timeout_ms = infinite_timeout);

void close_device(device_handle handle);

// Error code of this thread's last failed devio call.
uint32_t last_error();

// Why the drivers stopped answering, from the first provider that knows of trouble (see
// device_provider::trouble); empty when none does. When the lab's daemon went away, the
// interfaces opened while it answered fail every later request at once with
// error::device_not_connected; a lookup or open tries the daemon again, and a daemon that
// serves it clears the trouble.
std::string driver_trouble();

// An in-process provider whose interfaces answer through callbacks: unit tests build
// fake drivers with it and register it. `in` and `out` never overlap in a handler.
class inprocess_provider : public device_provider {
 public:
  using handler = std::function<uint32_t(uint32_t code, const uint8_t* in, uint32_t in_length,
                                         uint8_t* out, uint32_t out_capacity, uint32_t& returned)>;
  // A handler that also receives the request's time-out (a device that may wait, such as a
  // bulk pipe); it returns error::timeout or error::operation_aborted as the device ends.
  using timed_handler =
      std::function<uint32_t(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                             uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms)>;

  explicit inprocess_provider(std::string name);
  // Adds an interface of the class, listed after those already added.
  void add_interface(const guid& interface_class, const std::string& path, handler on_request);
  // Adds a device opened by name only (such as "ezusb-0"), listed under no class.
  void add_named_device(const std::string& path, timed_handler on_request);
  // Makes open() of the path fail with the error code.
  void fail_open(const std::string& path, uint32_t error_code);

  std::string name() const override;
  bool serves(const guid& interface_class) const override;
  std::vector<std::string> interfaces(const guid& interface_class) override;
  bool owns_path(const std::string& path) const override;
  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override;

 private:
  struct entry {
    guid interface_class;
    std::string path;
    timed_handler on_request;
    uint32_t open_error = 0;
    bool listed = true;  // false for devices opened by name only
  };
  std::string name_;
  mutable std::mutex mutex_;
  std::vector<entry> entries_;
};

// Built-in providers, exposed for tests and diagnostics.
// The operating system's own drivers: sysfs on POSIX, SetupAPI on Windows.
std::shared_ptr<device_provider> make_system_provider();
// A scan asks for every bus/device/function, most of them absent: a listing of the sysfs
// folder, trusted for `listing_life`, answers those without a file system call each
// (a zero life opens every function's file every time).
std::shared_ptr<device_provider> make_sysfs_provider(
    std::string sysfs_root = "/sys/bus/pci/devices",
    std::chrono::milliseconds listing_life = std::chrono::milliseconds(100));
std::shared_ptr<device_provider> make_lab_provider(std::string socket_path);
// The configuration-space class served read-only from a dump file (platform/config_dump.h):
// writes fail with error::access_denied, said once on standard error; a file that cannot be
// used is said on standard error when the provider is made, and then lists no interface.
std::shared_ptr<device_provider> make_dump_provider(std::string path);
// The `ezusb-N` names on a real card through libusb (IDs from ZAM_USB_ID, default the
// card's own 04b4:5a4d; code downloads into a blank 04b4:8613 only with
// ZAM_USB_ALLOW_BLANK=1); nullptr in a build without libusb.
std::shared_ptr<device_provider> make_usb_provider();

namespace detail {
void* local_device_registry();
}  // namespace detail

}  // namespace platform

#define ZAM_SHARE_DEVICE_PROVIDERS()                                                  \
  extern "C" ZAM_EXPORT void* zam_shared_device_registry() {                      \
    return ::platform::detail::local_device_registry();                               \
  }
