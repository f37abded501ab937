// Local stream sockets in the Windows build: not available yet, every call fails with a
// reason, so the lab provider and the lab operator report that they cannot reach the lab.
#include "platform/ipc.h"

namespace platform {
namespace {

constexpr const char* unavailable = "the lab transport (local sockets) is not available in the Windows build";

}  // namespace

stream_connection::stream_connection(stream_connection&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

stream_connection& stream_connection::operator=(stream_connection&& other) noexcept {
  if (this != &other) {
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

stream_connection::~stream_connection() = default;

io_status stream_connection::write_all(const void*, std::size_t, uint32_t) { return io_status::failed; }

io_status stream_connection::read_exact(void*, std::size_t, uint32_t) { return io_status::failed; }

void stream_connection::shutdown() {}

void stream_connection::close() { fd_ = -1; }

stream_connection connect_local(const std::string& path, std::string* error) {
  if (error) *error = path + ": " + unavailable;
  return {};
}

stream_listener::stream_listener(stream_listener&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

stream_listener& stream_listener::operator=(stream_listener&& other) noexcept {
  if (this != &other) {
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

stream_listener::~stream_listener() = default;

bool stream_listener::listen(const std::string& path, std::string* error) {
  if (error) *error = path + ": " + unavailable;
  return false;
}

stream_connection stream_listener::accept(uint32_t) { return {}; }

void stream_listener::close() { fd_ = -1; }

bool make_private_folder(const std::string& path, std::string* error) {
  if (error) *error = path + ": " + unavailable;
  return false;
}

}  // namespace platform
