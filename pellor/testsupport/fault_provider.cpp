// Fault injection over another provider's interfaces.
#include "fault_provider.h"

#include <algorithm>
#include <cstring>

namespace pellor::fake {
namespace {

bool is_driver_family(const platform::guid& family) {
  using namespace platform::driver_class;
  return family == config_space || family == known_endpoint || family == zam_card ||
         family == farrow_port;
}

bool matches(const fault_provider::rule& r, const std::string& path, uint32_t code) {
  return r.code == code && (r.path.empty() || r.path == path);
}

class faulty_channel : public platform::device_channel {
 public:
  faulty_channel(std::unique_ptr<platform::device_channel> inner, std::string path,
                 std::shared_ptr<fault_provider::rules> rules)
      : inner_(std::move(inner)), path_(std::move(path)), rules_(std::move(rules)) {
    std::lock_guard lock(rules_->mutex);
    ++rules_->open_channels;
  }
  ~faulty_channel() override {
    std::lock_guard lock(rules_->mutex);
    --rules_->open_channels;
  }

  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    std::vector<fault_provider::rule> applying;
    {
      std::lock_guard lock(rules_->mutex);
      for (const auto& r : rules_->list) {
        if (matches(r, path_, code)) applying.push_back(r);
      }
    }
    for (const auto& r : applying) {
      if (r.what == fault_provider::rule::kind::fail) return r.value;
    }
    const uint32_t status = inner_->control(code, in, in_length, out, out_capacity, returned,
                                            timeout_ms);
    if (status != platform::error::success) return status;
    auto* answer = static_cast<uint8_t*>(out);
    for (const auto& r : applying) {
      if (r.what == fault_provider::rule::kind::rewrite && r.byte_offset + 4 <= out_capacity) {
        std::memcpy(answer + r.byte_offset, &r.value, 4);
      } else if (r.what == fault_provider::rule::kind::limit) {
        returned = std::min(returned, r.value);
      }
    }
    return status;
  }

 private:
  std::unique_ptr<platform::device_channel> inner_;
  std::string path_;
  std::shared_ptr<fault_provider::rules> rules_;
};

}  // namespace

fault_provider::fault_provider(std::shared_ptr<platform::device_provider> inner)
    : inner_(std::move(inner)), rules_(std::make_shared<rules>()) {}

void fault_provider::hide_family(const platform::guid& family) {
  std::lock_guard lock(rules_->mutex);
  rules_->hidden.push_back(family);
}

void fault_provider::fail_open(const std::string& path, uint32_t error_code) {
  std::lock_guard lock(rules_->mutex);
  rules_->failing_opens.emplace_back(path, error_code);
}

void fault_provider::fail_requests(const std::string& path, uint32_t code, uint32_t error_code) {
  std::lock_guard lock(rules_->mutex);
  rules_->list.push_back(rule{rule::kind::fail, path, code, error_code, 0});
}

void fault_provider::rewrite_answer(const std::string& path, uint32_t code, uint32_t byte_offset,
                                    uint32_t value) {
  std::lock_guard lock(rules_->mutex);
  rules_->list.push_back(rule{rule::kind::rewrite, path, code, value, byte_offset});
}

void fault_provider::limit_returned(const std::string& path, uint32_t code, uint32_t bytes) {
  std::lock_guard lock(rules_->mutex);
  rules_->list.push_back(rule{rule::kind::limit, path, code, bytes, 0});
}

int fault_provider::open_channels() const {
  std::lock_guard lock(rules_->mutex);
  return rules_->open_channels;
}

std::string fault_provider::name() const { return "fault injection over " + inner_->name(); }

bool fault_provider::serves(const platform::guid& interface_class) const {
  return is_driver_family(interface_class) || inner_->serves(interface_class);
}

std::vector<std::string> fault_provider::interfaces(const platform::guid& interface_class) {
  {
    std::lock_guard lock(rules_->mutex);
    if (std::find(rules_->hidden.begin(), rules_->hidden.end(), interface_class) !=
        rules_->hidden.end()) {
      return {};
    }
  }
  return inner_->serves(interface_class) ? inner_->interfaces(interface_class)
                                         : std::vector<std::string>{};
}

bool fault_provider::owns_path(const std::string& path) const { return inner_->owns_path(path); }

std::unique_ptr<platform::device_channel> fault_provider::open(const std::string& path,
                                                               uint32_t& error_code) {
  {
    std::lock_guard lock(rules_->mutex);
    for (const auto& [failing, code] : rules_->failing_opens) {
      if (failing == path) {
        error_code = code;
        return nullptr;
      }
    }
  }
  std::unique_ptr<platform::device_channel> channel = inner_->open(path, error_code);
  if (!channel) return nullptr;
  return std::make_unique<faulty_channel>(std::move(channel), path, rules_);
}

}  // namespace pellor::fake
