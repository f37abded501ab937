// The one place that chooses which provider serves a device interface, and the handle table.
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "platform/devio.h"
#include "platform/library.h"

namespace platform {
namespace {

struct open_device_entry {
  std::shared_ptr<device_channel> channel;
  std::shared_ptr<device_provider> provider;  // keeps the provider alive while open
};

struct registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<device_provider>> registered;
  std::map<device_handle, open_device_entry> handles;
  device_handle next_handle = 0x100;
};

// Made on first use and never destroyed: a driver library's unload hook may close its
// handles after this module's static destructors ran (a program that exits without
// unloading it). Once those handles are closed the registry holds no memory of its own.
registry& own_registry() {
  alignas(registry) static unsigned char storage[sizeof(registry)];
  static registry* const r = new (storage) registry;
  return *r;
}

// The program's registry when it shares one (see ZAM_SHARE_DEVICE_PROVIDERS), else ours.
registry& the_registry() {
  static registry* const chosen = [] {
    if (void* shared = find_process_symbol("zam_shared_device_registry")) {
      using anchor = void* (*)();
      return static_cast<registry*>(reinterpret_cast<anchor>(shared)());
    }
    return &own_registry();
  }();
  return *chosen;
}

thread_local uint32_t thread_last_error = error::success;

// Built-in providers in probe order. The lab, when named, stands in for every driver class
// and hides the machine's own devices, so a simulated run never touches real hardware.
// Built-in providers belong to this module (their code lives here), even when the
// registry is the program's.
struct builtins {
  std::shared_ptr<device_provider> dump;
  std::string dump_path;
  std::shared_ptr<device_provider> sysfs;
  std::shared_ptr<device_provider> lab;
  std::string lab_socket;
  std::shared_ptr<device_provider> usb;
  bool usb_made = false;
};

std::vector<std::shared_ptr<device_provider>> builtin_providers() {
  static builtins r;
  std::vector<std::shared_ptr<device_provider>> list;
  // A dump stands in for the configuration-space class only, before the lab and the
  // system's drivers: a lookup of that class finds the dump (or nothing, when it cannot be
  // used), never the machine's own configuration space; the other classes come from where
  // they would come from without it.
  const char* dump = std::getenv("ZAM_CONFIG_DUMP");
  if (dump != nullptr && *dump != '\0') {
    if (!r.dump || r.dump_path != dump) {
      r.dump = make_dump_provider(dump);
      r.dump_path = dump;
    }
    list.push_back(r.dump);
  }
  const char* lab = std::getenv("ZAMSIM_SOCKET");
  if (lab != nullptr && *lab != '\0') {
    if (!r.lab || r.lab_socket != lab) {
      r.lab = make_lab_provider(lab);
      r.lab_socket = lab;
    }
    list.push_back(r.lab);
    return list;
  }
  if (!r.sysfs) r.sysfs = make_system_provider();
  list.push_back(r.sysfs);
  if (!r.usb_made) {
    r.usb = make_usb_provider();
    r.usb_made = true;
  }
  if (r.usb) list.push_back(r.usb);
  return list;
}

std::vector<std::shared_ptr<device_provider>> candidates() {
  registry& r = the_registry();
  std::lock_guard lock(r.mutex);
  auto list = r.registered;
  for (auto& p : builtin_providers()) list.push_back(p);
  return list;
}

}  // namespace

void register_provider(std::shared_ptr<device_provider> provider) {
  registry& r = the_registry();
  std::lock_guard lock(r.mutex);
  r.registered.push_back(std::move(provider));
}

void unregister_provider(const std::shared_ptr<device_provider>& provider) {
  registry& r = the_registry();
  std::lock_guard lock(r.mutex);
  std::erase(r.registered, provider);
}

void clear_registered_providers() {
  registry& r = the_registry();
  std::lock_guard lock(r.mutex);
  r.registered.clear();
}

std::shared_ptr<device_provider> active_provider_for(const guid& interface_class) {
  for (auto& provider : candidates()) {
    if (provider->serves(interface_class)) return provider;
  }
  return nullptr;
}

std::vector<std::string> device_interfaces(const guid& interface_class) {
  auto provider = active_provider_for(interface_class);
  return provider ? provider->interfaces(interface_class) : std::vector<std::string>{};
}

device_handle open_device(const std::string& path) {
  for (auto& provider : candidates()) {
    if (!provider->owns_path(path)) continue;
    uint32_t error_code = error::gen_failure;
    std::unique_ptr<device_channel> channel = provider->open(path, error_code);
    if (!channel) {
      thread_last_error = error_code;
      return invalid_handle;
    }
    registry& r = the_registry();
    std::lock_guard lock(r.mutex);
    const device_handle handle = r.next_handle++;
    r.handles[handle] = open_device_entry{std::move(channel), provider};
    return handle;
  }
  thread_last_error = error::file_not_found;
  return invalid_handle;
}

std::optional<std::string> ezusb_device_name(std::string_view name) {
  constexpr std::string_view prefix = "ezusb-";
  if (name.size() <= prefix.size()) return std::nullopt;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) return std::nullopt;
  }
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
  }
  return std::string(prefix) + std::string(name.substr(prefix.size()));
}

bool device_control(device_handle handle, uint32_t code, const void* in, uint32_t in_length,
                    void* out, uint32_t out_capacity, uint32_t* returned, uint32_t timeout_ms) {
  if (returned != nullptr) *returned = 0;
  std::shared_ptr<device_channel> channel;
  {
    registry& r = the_registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.handles.find(handle);
    if (found != r.handles.end()) channel = found->second.channel;
  }
  if (!channel) {
    thread_last_error = error::invalid_handle;
    return false;
  }
  if ((in_length != 0 && in == nullptr) || (out_capacity != 0 && out == nullptr)) {
    thread_last_error = error::invalid_parameter;
    return false;
  }
  // Buffered requests: the driver sees a copy of the input, so callers may pass one buffer
  // as both input and output.
  std::vector<uint8_t> input(static_cast<const uint8_t*>(in),
                             static_cast<const uint8_t*>(in) + in_length);
  uint32_t written = 0;
  const uint32_t status = channel->control(code, input.data(), in_length, out, out_capacity,
                                           written, timeout_ms);
  if (written > out_capacity) written = out_capacity;
  if (status != error::success) {
    thread_last_error = status;
    return false;
  }
  if (returned != nullptr) *returned = written;
  return true;
}

void close_device(device_handle handle) {
  registry& r = the_registry();
  std::lock_guard lock(r.mutex);
  r.handles.erase(handle);
}

uint32_t last_error() { return thread_last_error; }

std::string driver_trouble() {
  for (auto& provider : candidates()) {
    std::string text = provider->trouble();
    if (!text.empty()) return text;
  }
  return {};
}

namespace detail {
void* local_device_registry() { return &own_registry(); }
}  // namespace detail

}  // namespace platform
