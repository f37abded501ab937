// Shared channels in the Windows build: not offered, so a lab connection keeps to its socket.
#include "platform/shared_channel.h"

namespace platform {

shared_channel::shared_channel(shared_channel&& other) noexcept { *this = std::move(other); }

shared_channel& shared_channel::operator=(shared_channel&& other) noexcept {
  base_ = other.base_;
  other.base_ = nullptr;
  return *this;
}

shared_channel::~shared_channel() = default;

void shared_channel::unmap() {}

bool shared_channel::supported() { return false; }

shared_channel shared_channel::create(std::string* error) {
  if (error) *error = "shared channels are not available in the Windows build";
  return {};
}

io_status shared_channel::send_with(stream_connection&, const void*, std::size_t, uint32_t) {
  return io_status::failed;
}

io_status shared_channel::receive_with(stream_connection&, void*, std::size_t, uint32_t, shared_channel& channel) {
  channel = shared_channel();
  return io_status::failed;
}

uint8_t* shared_channel::request_area() const { return nullptr; }

uint8_t* shared_channel::answer_area() const { return nullptr; }

void shared_channel::post_request(request_kind) {}

io_status shared_channel::wait_answer(uint32_t, const std::function<bool()>&) { return io_status::failed; }

std::optional<uint32_t> shared_channel::wait_request(uint32_t) { return std::nullopt; }

void shared_channel::post_answer() {}

}  // namespace platform
