// The lab provider: every driver class and the EZ-USB device names, served by the zamsim
// daemon over its socket.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>

#include "platform/devio.h"
#include "platform/lab_client.h"

namespace platform {
namespace {

// The interfaces a provider opened on one daemon while it answered. A connection that was
// lost, or a request the daemon left unanswered, means the daemon is gone for all of them:
// their later requests fail at once instead of each waiting out its own time-out.
struct lab_session {
  std::atomic<bool> gone{false};
};

// What the provider knows of its daemon: the session new interfaces join, and why the lab
// cannot serve. A session that was lost stays lost; new interfaces start a new one, and a
// request the daemon serves again clears the trouble.
class lab_link {
 public:
  explicit lab_link(std::string socket_path)
      : socket_path_(std::move(socket_path)), session_(std::make_shared<lab_session>()) {}

  std::shared_ptr<lab_session> session() {
    std::lock_guard lock(mutex_);
    if (session_->gone) session_ = std::make_shared<lab_session>();
    return session_;
  }

  // Why the lab cannot serve: gone, or not reachable at the last attempt; empty otherwise.
  std::string trouble() const {
    std::lock_guard lock(mutex_);
    return trouble_;
  }

  // Takes note of how a client's call in the session went.
  void note(const lab_client& client, lab_session& session) {
    if (client.lost()) {
      session.gone = true;
      record("the lab at ZAMSIM_SOCKET=" + socket_path_ + " stopped answering: " + client.loss());
      return;
    }
    std::string reason = client.connect_error();
    if (reason.empty()) {
      std::lock_guard lock(mutex_);
      trouble_.clear();  // served again
      reported_ = false;
      return;
    }
    const std::string own_prefix = socket_path_ + ": ";
    if (reason.rfind(own_prefix, 0) == 0) reason.erase(0, own_prefix.size());
    record("cannot reach the lab at ZAMSIM_SOCKET=" + socket_path_ + ": " + reason);
  }

 private:
  // Said once on standard error until the lab serves again: without it a program only
  // learns that no driver answered, and it asks for every driver class in turn.
  void record(const std::string& text) {
    {
      std::lock_guard lock(mutex_);
      trouble_ = text;
      if (reported_) return;
      reported_ = true;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }

  std::string socket_path_;
  mutable std::mutex mutex_;
  std::shared_ptr<lab_session> session_;
  std::string trouble_;
  bool reported_ = false;
};

class lab_channel : public device_channel {
 public:
  lab_channel(std::unique_ptr<lab_client> client, uint32_t handle, std::shared_ptr<lab_link> link,
              std::shared_ptr<lab_session> session)
      : client_(std::move(client)), handle_(handle), link_(std::move(link)), session_(std::move(session)) {}

  ~lab_channel() override {
    if (session_->gone) return;
    uint32_t returned = 0;
    client_->call(lab::operation::close, handle_, 0, nullptr, 0, nullptr, 0, returned, 2000);
  }

  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    returned = 0;
    if (session_->gone) return error::device_not_connected;
    const uint32_t status = client_->call(lab::operation::control, handle_, code, in, in_length,
                                          out, out_capacity, returned, timeout_ms);
    if (status == error::device_not_connected) link_->note(*client_, *session_);
    return status;
  }

 private:
  std::unique_ptr<lab_client> client_;  // one connection per opened interface
  uint32_t handle_;
  std::shared_ptr<lab_link> link_;
  std::shared_ptr<lab_session> session_;
};

class lab_provider : public device_provider {
 public:
  explicit lab_provider(std::string socket_path)
      : socket_path_(std::move(socket_path)), link_(std::make_shared<lab_link>(socket_path_)) {}

  std::string name() const override { return "lab"; }

  bool serves(const guid&) const override { return true; }

  std::vector<std::string> interfaces(const guid& interface_class) override {
    const auto session = link_->session();
    lab_client client(socket_path_);
    std::string text;
    const uint32_t status =
        client.call_text(lab::operation::list_interfaces, interface_class.to_string(), text);
    link_->note(client, *session);
    if (status != error::success) return {};
    std::vector<std::string> paths;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty()) paths.push_back(line);
    }
    return paths;
  }

  bool owns_path(const std::string& path) const override {
    return path.rfind("lab:", 0) == 0 || ezusb_device_name(path).has_value();
  }

  std::unique_ptr<device_channel> open(const std::string& given, uint32_t& error_code) override {
    // The lab knows the card's controller by the name in lower case.
    const std::string path = ezusb_device_name(given).value_or(given);
    const auto session = link_->session();
    auto client = std::make_unique<lab_client>(socket_path_);
    uint8_t handle_bytes[4] = {};
    uint32_t returned = 0;
    error_code = client->call(lab::operation::open, 0, 0, path.data(),
                              static_cast<uint32_t>(path.size()), handle_bytes,
                              sizeof handle_bytes, returned, infinite_timeout);
    link_->note(*client, *session);
    if (error_code != error::success) return nullptr;
    if (returned != sizeof handle_bytes) {
      error_code = error::gen_failure;
      return nullptr;
    }
    return std::make_unique<lab_channel>(std::move(client), lab::get_le32(handle_bytes), link_, session);
  }

  std::string trouble() const override { return link_->trouble(); }

 private:
  std::string socket_path_;
  std::shared_ptr<lab_link> link_;
};

}  // namespace

std::shared_ptr<device_provider> make_lab_provider(std::string socket_path) {
  return std::make_shared<lab_provider>(std::move(socket_path));
}

}  // namespace platform
