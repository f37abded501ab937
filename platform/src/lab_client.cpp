// Client side of the lab wire protocol.
#include "platform/lab_client.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/devio.h"
#include "platform/lab_secret.h"
#include "setting_warning.h"

namespace platform {

stream_connection connect_lab(const std::string& address, const std::string& secret_file, std::string* error,
                              uint32_t wait_ms) {
  if (!is_tcp_address(address)) return connect_local(address, error);
  tcp_endpoint endpoint;
  if (!parse_tcp_address(address, endpoint, false, error)) return {};  // said before any secret is looked for
  // The secret is read before connecting: without it the daemon would only close on us.
  const std::string file = secret_file.empty() ? lab::secret_path_for(address) : secret_file;
  lab::secret secret{};
  if (!lab::read_secret_file(file, secret, error)) return {};
  stream_connection connection = connect_tcp(address, error, wait_ms);
  if (!connection.valid()) return {};
  const auto hello = lab::encode_hello(secret);
  uint8_t answer_bytes[lab::answer_header_size];
  io_status status = connection.write_all(hello.data(), hello.size(), wait_ms);
  if (status == io_status::ok) status = connection.read_exact(answer_bytes, sizeof answer_bytes, wait_ms);
  if (status != io_status::ok) {
    if (error) {
      *error = address + ": " +
               (status == io_status::timed_out ? "no answer to the secret's proof within " + std::to_string(wait_ms) + " ms"
                                               : std::string("the daemon closed the connection at the secret's proof"));
    }
    return {};
  }
  const lab::answer_header answer = lab::decode_answer(answer_bytes);
  if (answer.error != error::success || answer.returned != 0) {
    if (error) *error = address + ": the lab refused the secret in " + file;
    return {};
  }
  return connection;
}

lab_client::lab_client(std::string socket_path, std::string secret_file)
    : socket_path_(std::move(socket_path)), secret_file_(std::move(secret_file)) {}

lab_client::~lab_client() {
  // The daemon waits on the channel, not the socket: say goodbye so that it lets go at once.
  if (channel_.valid()) channel_.post_request(shared_channel::request_kind::closing);
}

uint32_t lab_client::default_wait_ms() {
  const char* text = std::getenv("ZAMSIM_TIMEOUT_MS");
  if (text != nullptr && *text != '\0') {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end != text && *end == '\0' && value > 0 && value < 0xFFFFFFFFul) {
      return static_cast<uint32_t>(value);
    }
    warn_unusable_setting("ZAMSIM_TIMEOUT_MS", text, "10000 (milliseconds, 1 to 4294967294)");
  }
  return 10000;
}

namespace {

bool channel_switched_off() {
  const char* choice = std::getenv("ZAMSIM_CHANNEL");
  return choice != nullptr && std::strcmp(choice, "socket") == 0;
}

std::string loss_text(io_status why, uint32_t wait) {
  switch (why) {
    case io_status::timed_out:
      return "no answer within " + std::to_string(wait) + " ms";
    case io_status::closed:
      return "the daemon closed the connection";
    default:
      return "the connection failed or the answer was malformed";
  }
}

}  // namespace

void lab_client::fail(io_status why, uint32_t wait) {
  channel_ = shared_channel();
  connection_.close();
  broken_ = true;
  if (loss_.empty()) loss_ = loss_text(why, wait);
}

io_status lab_client::send_on_socket(const lab::request_header& header, const void* in, uint32_t in_length,
                                     const void* data_buffer, uint32_t wait) {
  const auto head = lab::encode(header);
  io_status status = connection_.write_all(head.data(), head.size(), wait);
  if (status == io_status::ok && in_length > 0) status = connection_.write_all(in, in_length, wait);
  if (status == io_status::ok && data_buffer != nullptr) {
    status = connection_.write_all(data_buffer, header.output_capacity, wait);
  }
  return status;
}

// Asks the daemon for a shared channel; a daemon or system without them answers with an
// error, and the connection keeps to its socket.
void lab_client::open_channel(uint32_t wait) {
  io_status status = send_on_socket(
      lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::open_shared_channel), 0, 0, 0, 0, wait},
      nullptr, 0, nullptr, wait);
  if (status != io_status::ok) {
    fail(status, wait);
    return;
  }
  uint8_t answer_bytes[lab::answer_header_size];
  shared_channel channel;
  status = shared_channel::receive_with(connection_, answer_bytes, sizeof answer_bytes, wait, channel);
  if (status != io_status::ok || lab::decode_answer(answer_bytes).returned != 0) {
    fail(status == io_status::ok ? io_status::failed : status, wait);
    return;
  }
  channel_wanted_ = false;  // asked once per connection
  if (lab::decode_answer(answer_bytes).error == error::success) channel_ = std::move(channel);
}

io_status lab_client::call_through_channel(const lab::request_header& header, const void* in,
                                           uint32_t in_length, const void* data_buffer, void* out,
                                           lab::answer_header& answer, uint32_t wait) {
  uint8_t* request = channel_.request_area();
  const auto head = lab::encode(header);
  std::memcpy(request, head.data(), head.size());
  if (in_length > 0) std::memcpy(request + head.size(), in, in_length);
  if (data_buffer != nullptr) std::memcpy(request + head.size() + in_length, data_buffer, header.output_capacity);
  channel_.post_request(shared_channel::request_kind::in_area);
  const io_status status = channel_.wait_answer(wait, [this] { return connection_.peer_closed(); });
  if (status != io_status::ok) return status;
  const uint8_t* reply = channel_.answer_area();
  answer = lab::decode_answer(reply);
  // The daemon's answer is held to what we asked for, as on the socket.
  if (answer.returned > header.output_capacity) return io_status::failed;
  if (answer.returned > 0) std::memcpy(out, reply + lab::answer_header_size, answer.returned);
  return io_status::ok;
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
  // The daemon bounds the request by its own time-out; we wait a little longer for the
  // answer to travel, and never without limit. A TCP connection's proof of the secret is
  // held to the same wait.
  const uint32_t wait = timeout_ms == infinite_timeout || timeout_ms > 0xFFFFFFFFu - 1000
                            ? default_wait_ms()
                            : timeout_ms + 1000;
  if (!connection_.valid()) {
    connect_error_.clear();
    connection_ = connect_lab(socket_path_, secret_file_, &connect_error_, wait);
    if (!connection_.valid()) {
      broken_ = true;
      return error::device_not_connected;
    }
    channel_wanted_ = shared_channel::supported() && !channel_switched_off() && !is_tcp_address(socket_path_);
  }
  // A connection that makes a second request is likely to make many more.
  if (++requests_ >= 2 && channel_wanted_) {
    open_channel(wait);
    if (broken_) return error::device_not_connected;
  }
  const lab::request_header header{lab::magic, static_cast<uint32_t>(op), handle, code, sent_length,
                                   out_capacity, timeout_ms};
  const void* data = data_buffer ? out : nullptr;
  lab::answer_header answer;
  if (channel_.valid() && lab::request_header_size + sent_length <= shared_channel::area_size &&
      lab::answer_header_size + out_capacity <= shared_channel::area_size) {
    const io_status status = call_through_channel(header, in, in_length, data, out, answer, wait);
    if (status != io_status::ok) {
      fail(status, wait);
      return error::device_not_connected;
    }
    returned = answer.returned;
    return answer.error;
  }
  // Too large for the channel: the daemon is told to read this one from the socket.
  if (channel_.valid()) channel_.post_request(shared_channel::request_kind::on_socket);
  uint8_t answer_bytes[lab::answer_header_size];
  io_status status = send_on_socket(header, in, in_length, data, wait);
  if (status == io_status::ok) status = connection_.read_exact(answer_bytes, sizeof answer_bytes, wait);
  if (status != io_status::ok) {
    fail(status, wait);
    return error::device_not_connected;
  }
  answer = lab::decode_answer(answer_bytes);
  status = answer.returned > out_capacity ? io_status::failed : io_status::ok;
  if (status == io_status::ok && answer.returned > 0) status = connection_.read_exact(out, answer.returned, wait);
  if (status != io_status::ok) {
    fail(status, wait);
    return error::device_not_connected;
  }
  returned = answer.returned;
  return answer.error;
}

bool lab_client::on_shared_channel() const {
  std::lock_guard lock(mutex_);
  return channel_.valid();
}

bool lab_client::lost() const {
  std::lock_guard lock(mutex_);
  return !loss_.empty();
}

std::string lab_client::loss() const {
  std::lock_guard lock(mutex_);
  return loss_;
}

std::string lab_client::connect_error() const {
  std::lock_guard lock(mutex_);
  return connect_error_;
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
