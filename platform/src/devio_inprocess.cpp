// In-process provider: interfaces that answer through callbacks (unit-test fakes).
#include "platform/devio.h"

namespace platform {
namespace {

class callback_channel : public device_channel {
 public:
  explicit callback_channel(inprocess_provider::timed_handler on_request)
      : on_request_(std::move(on_request)) {}

  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    return on_request_(code, static_cast<const uint8_t*>(in), in_length,
                       static_cast<uint8_t*>(out), out_capacity, returned, timeout_ms);
  }

 private:
  inprocess_provider::timed_handler on_request_;
};

}  // namespace

inprocess_provider::inprocess_provider(std::string name) : name_(std::move(name)) {}

void inprocess_provider::add_interface(const guid& interface_class, const std::string& path,
                                       handler on_request) {
  timed_handler timed = [on_request = std::move(on_request)](
                            uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                            uint32_t out_capacity, uint32_t& returned, uint32_t) {
    return on_request(code, in, in_length, out, out_capacity, returned);
  };
  std::lock_guard lock(mutex_);
  entries_.push_back(entry{interface_class, path, std::move(timed), 0, true});
}

void inprocess_provider::add_named_device(const std::string& path, timed_handler on_request) {
  std::lock_guard lock(mutex_);
  entries_.push_back(entry{guid{}, path, std::move(on_request), 0, false});
}

void inprocess_provider::fail_open(const std::string& path, uint32_t error_code) {
  std::lock_guard lock(mutex_);
  for (auto& e : entries_) {
    if (e.path == path) e.open_error = error_code;
  }
}

std::string inprocess_provider::name() const { return name_; }

bool inprocess_provider::serves(const guid& interface_class) const {
  std::lock_guard lock(mutex_);
  for (const auto& e : entries_) {
    if (e.listed && e.interface_class == interface_class) return true;
  }
  return false;
}

std::vector<std::string> inprocess_provider::interfaces(const guid& interface_class) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& e : entries_) {
    if (e.listed && e.interface_class == interface_class) paths.push_back(e.path);
  }
  return paths;
}

bool inprocess_provider::owns_path(const std::string& path) const {
  std::lock_guard lock(mutex_);
  for (const auto& e : entries_) {
    if (e.path == path) return true;
  }
  return false;
}

std::unique_ptr<device_channel> inprocess_provider::open(const std::string& path,
                                                        uint32_t& error_code) {
  std::lock_guard lock(mutex_);
  for (const auto& e : entries_) {
    if (e.path != path) continue;
    if (e.open_error != 0) {
      error_code = e.open_error;
      return nullptr;
    }
    return std::make_unique<callback_channel>(e.on_request);
  }
  error_code = error::file_not_found;
  return nullptr;
}

}  // namespace platform
