// The lab provider: every driver class and the EZ-USB device names, served by the zamsim
// daemon over its socket.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/devio.h"
#include "platform/lab_client.h"

namespace platform {
namespace {

class lab_channel : public device_channel {
 public:
  lab_channel(std::unique_ptr<lab_client> client, uint32_t handle)
      : client_(std::move(client)), handle_(handle) {}

  ~lab_channel() override {
    uint32_t returned = 0;
    client_->call(lab::operation::close, handle_, 0, nullptr, 0, nullptr, 0, returned, 2000);
  }

  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    return client_->call(lab::operation::control, handle_, code, in, in_length, out,
                         out_capacity, returned, timeout_ms);
  }

 private:
  std::unique_ptr<lab_client> client_;  // one connection per opened interface
  uint32_t handle_;
};

class lab_provider : public device_provider {
 public:
  explicit lab_provider(std::string socket_path) : socket_path_(std::move(socket_path)) {}

  std::string name() const override { return "lab"; }

  bool serves(const guid&) const override { return true; }

  std::vector<std::string> interfaces(const guid& interface_class) override {
    lab_client client(socket_path_);
    std::string text;
    if (client.call_text(lab::operation::list_interfaces, interface_class.to_string(), text) !=
        error::success) {
      report_unreachable(client);
      return {};
    }
    std::vector<std::string> paths;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) paths.push_back(line);
    }
    return paths;
  }

  bool owns_path(const std::string& path) const override {
    return path.rfind("lab:", 0) == 0 || path.rfind("ezusb-", 0) == 0;
  }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    auto client = std::make_unique<lab_client>(socket_path_);
    uint8_t handle_bytes[4] = {};
    uint32_t returned = 0;
    error_code = client->call(lab::operation::open, 0, 0, path.data(),
                              static_cast<uint32_t>(path.size()), handle_bytes,
                              sizeof handle_bytes, returned, infinite_timeout);
    if (error_code != error::success) {
      report_unreachable(*client);
      return nullptr;
    }
    if (returned != sizeof handle_bytes) {
      error_code = error::gen_failure;
      return nullptr;
    }
    return std::make_unique<lab_channel>(std::move(client), lab::get_le32(handle_bytes));
  }

 private:
  // Without this a program only learns that no driver answered. Said once per process: the
  // programs ask for every driver class in turn.
  void report_unreachable(const lab_client& client) {
    std::string reason = client.connect_error();
    if (reason.empty() || reported_.exchange(true)) return;
    const std::string own_prefix = socket_path_ + ": ";
    if (reason.rfind(own_prefix, 0) == 0) reason.erase(0, own_prefix.size());
    std::fprintf(stderr, "cannot reach the lab at ZAMSIM_SOCKET=%s: %s\n", socket_path_.c_str(),
                 reason.c_str());
    std::fflush(stderr);
  }

  std::string socket_path_;
  std::atomic<bool> reported_{false};
};

}  // namespace

std::shared_ptr<device_provider> make_lab_provider(std::string socket_path) {
  return std::make_shared<lab_provider>(std::move(socket_path));
}

}  // namespace platform
