// Client side of the lab wire protocol.
#include "platform/lab_client.h"

#include <cstdlib>

#include "platform/devio.h"

namespace platform {

lab_client::lab_client(std::string socket_path) : socket_path_(std::move(socket_path)) {}

uint32_t lab_client::default_wait_ms() {
  const char* text = std::getenv("ZAMSIM_TIMEOUT_MS");
  if (text != nullptr && *text != '\0') {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end != text && *end == '\0' && value > 0 && value < 0xFFFFFFFFul) {
      return static_cast<uint32_t>(value);
    }
  }
  return 10000;
}

uint32_t lab_client::call(lab::operation op, uint32_t handle, uint32_t code, const void* in,
                          uint32_t in_length, void* out, uint32_t out_capacity,
                          uint32_t& returned, uint32_t timeout_ms) {
  returned = 0;
  // A request whose data buffer goes to the driver carries that buffer after its input.
  const bool data_buffer = op == lab::operation::control && lab::sends_data_buffer(code) && out_capacity > 0;
  const uint32_t sent_length = in_length + (data_buffer ? out_capacity : 0);
  if (in_length > lab::max_input || out_capacity > lab::max_output || sent_length > lab::max_input) {
    return error::invalid_parameter;
  }
  std::lock_guard lock(mutex_);
  if (broken_) return error::device_not_connected;
  if (!connection_.valid()) {
    connection_ = connect_local(socket_path_);
    if (!connection_.valid()) {
      broken_ = true;
      return error::device_not_connected;
    }
  }
  // The daemon bounds the request by its own time-out; we wait a little longer for the
  // answer to travel, and never without limit.
  const uint32_t wait = timeout_ms == infinite_timeout || timeout_ms > 0xFFFFFFFFu - 1000
                            ? default_wait_ms()
                            : timeout_ms + 1000;
  lab::request_header header{lab::magic, static_cast<uint32_t>(op), handle, code, sent_length,
                             out_capacity, timeout_ms};
  const auto head = lab::encode(header);
  uint8_t answer_bytes[lab::answer_header_size];
  if (connection_.write_all(head.data(), head.size(), wait) != io_status::ok ||
      (in_length > 0 && connection_.write_all(in, in_length, wait) != io_status::ok) ||
      (data_buffer && connection_.write_all(out, out_capacity, wait) != io_status::ok) ||
      connection_.read_exact(answer_bytes, sizeof answer_bytes, wait) != io_status::ok) {
    connection_.close();
    broken_ = true;
    return error::device_not_connected;
  }
  const lab::answer_header answer = lab::decode_answer(answer_bytes);
  if (answer.returned > out_capacity ||
      (answer.returned > 0 && connection_.read_exact(out, answer.returned, wait) != io_status::ok)) {
    connection_.close();
    broken_ = true;
    return error::device_not_connected;
  }
  returned = answer.returned;
  return answer.error;
}

uint32_t lab_client::call_text(lab::operation op, const std::string& input, std::string& output) {
  std::vector<char> buffer(1u << 20);
  uint32_t returned = 0;
  const uint32_t status = call(op, 0, 0, input.data(), static_cast<uint32_t>(input.size()),
                               buffer.data(), static_cast<uint32_t>(buffer.size()), returned,
                               infinite_timeout);
  output.assign(buffer.data(), returned);
  return status;
}

}  // namespace platform
