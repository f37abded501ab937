// The lab daemon's socket server and request dispatch.
#include "server/lab_server.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/lab_protocol.h"
#include "platform/process.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;
using platform::error::success;

// A request must arrive whole within this time once its first byte has come.
constexpr uint32_t frame_timeout_ms = 5000;

}  // namespace

lab_server::lab_server(lab_station& station) : station_(station), drivers_(station) {}

lab_server::~lab_server() { listener_.close(); }

bool lab_server::listen(const std::string& socket_path, std::string& error) {
  return listener_.listen(socket_path, &error);
}

uint32_t lab_server::handle(uint32_t operation, uint32_t handle, uint32_t code, const std::vector<uint8_t>& input,
                            uint32_t output_capacity, std::vector<uint8_t>& output, uint32_t timeout_ms,
                            const std::function<bool()>& caller_gone) {
  output.assign(output_capacity, 0);
  uint32_t returned = 0;
  uint32_t status = success;
  const auto text_answer = [&](const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), output_capacity);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), output.begin());
    returned = static_cast<uint32_t>(n);
    return n == text.size() ? success : platform::error::insufficient_buffer;
  };
  switch (static_cast<lab::operation>(operation)) {
    case lab::operation::list_interfaces: {
      const auto guid = platform::guid::parse(std::string(input.begin(), input.end()));
      if (!guid) {
        status = platform::error::invalid_parameter;
        break;
      }
      std::string text;
      for (const auto& path : drivers_.interfaces(*guid)) text += path + "\n";
      status = text_answer(text);
      break;
    }
    case lab::operation::open: {
      uint32_t error = 0;
      std::shared_ptr<driver_interface> opened = drivers_.open(std::string(input.begin(), input.end()), error);
      if (!opened) {
        status = error;
        break;
      }
      if (output_capacity < 4) {
        status = platform::error::insufficient_buffer;
        break;
      }
      std::lock_guard lock(handles_mutex_);
      const uint32_t id = next_handle_++;
      handles_[id] = std::move(opened);
      lab::put_le32(output.data(), id);
      returned = 4;
      break;
    }
    case lab::operation::control: {
      std::shared_ptr<driver_interface> target;
      {
        std::lock_guard lock(handles_mutex_);
        const auto found = handles_.find(handle);
        if (found != handles_.end()) target = found->second;
      }
      if (!target) {
        status = platform::error::invalid_handle;
        break;
      }
      uint32_t in_length = static_cast<uint32_t>(input.size());
      if (lab::sends_data_buffer(code)) {
        // The data buffer's bytes follow the input: they go to the driver in `output`.
        if (in_length < output_capacity) {
          status = platform::error::invalid_parameter;
          break;
        }
        in_length -= output_capacity;
        std::copy(input.begin() + in_length, input.end(), output.begin());
      }
      status = target->timed_control(code, input.data(), in_length, output.data(), output_capacity, returned,
                                     timeout_ms, caller_gone);
      if (returned > output_capacity) returned = output_capacity;
      break;
    }
    case lab::operation::close: {
      std::lock_guard lock(handles_mutex_);
      status = handles_.erase(handle) ? success : platform::error::invalid_handle;
      break;
    }
    case lab::operation::prompt: {
      // buttons; caption length; caption; text
      if (input.size() < 8 || output_capacity < 4) {
        status = platform::error::invalid_parameter;
        break;
      }
      const uint32_t buttons = lab::get_le32(input.data());
      const uint32_t caption_length = lab::get_le32(input.data() + 4);
      if (buttons > 5 || caption_length > input.size() - 8) {
        status = platform::error::invalid_parameter;
        break;
      }
      const std::string caption(input.begin() + 8, input.begin() + 8 + caption_length);
      const std::string text(input.begin() + 8 + caption_length, input.end());
      const auto answer = station_.operator_prompt(caption, text, static_cast<platform::buttons>(buttons));
      lab::put_le32(output.data(), static_cast<uint32_t>(answer));
      returned = 4;
      break;
    }
    case lab::operation::dialog: {
      // kind; caption length; caption; text
      if (input.size() < 8) {
        status = platform::error::invalid_parameter;
        break;
      }
      const uint32_t kind = lab::get_le32(input.data());
      const uint32_t caption_length = lab::get_le32(input.data() + 4);
      if (caption_length > input.size() - 8) {
        status = platform::error::invalid_parameter;
        break;
      }
      const std::string caption(input.begin() + 8, input.begin() + 8 + caption_length);
      const std::string text(input.begin() + 8 + caption_length, input.end());
      status = text_answer(station_.bench_operator().answer_dialog(kind, caption, text));
      break;
    }
    case lab::operation::power_cycle_card:
      station_.usb().power_cycle();
      status = text_answer("card power-cycled\n");
      break;
    case lab::operation::inject_request:
      station_.usb().inject_request(input);
      break;
    case lab::operation::take_completions: {
      std::string text;
      for (const auto& completion : station_.usb().take_completions()) {
        uint8_t length[4];
        lab::put_le32(length, static_cast<uint32_t>(completion.size()));
        text.append(reinterpret_cast<const char*>(length), 4);
        text.append(completion.begin(), completion.end());
      }
      status = text_answer(text);
      break;
    }
    case lab::operation::status: {
      std::string where;
      if (listener_.is_tcp()) where = ", listening on " + listener_.path() + ", secret in " + secret_file_;
      status = text_answer("zamsim pid " + std::to_string(platform::current_process_id()) + ", station " +
                           station_.config().name + " (" + station_.config().path + ")" + where + "\n");
      break;
    }
    case lab::operation::show: status = text_answer(station_.describe()); break;
    case lab::operation::stop:
      stop_pending_ = true;  // the server stops once this answer is on its way
      status = text_answer("stopping\n");
      break;
    default: status = platform::error::invalid_function; break;
  }
  output.resize(returned);
  return status;
}

// Reads one frame from the socket and answers it there; false when the client is to be
// closed (gone, too slow, or malformed).
bool lab_server::serve_socket_frame(platform::stream_connection& client, const uint8_t* head_first_byte,
                                    request_buffers& buffers) {
  uint8_t head[lab::request_header_size];
  head[0] = *head_first_byte;
  if (client.read_exact(head + 1, sizeof head - 1, frame_timeout_ms) != platform::io_status::ok) return false;
  const lab::request_header request = lab::decode_request(head);
  // Every length is checked before anything is read or allocated; a malformed frame
  // closes this client only.
  if (!lab::well_formed(request)) {
    report_malformed(request);
    return false;
  }
  buffers.input.resize(request.input_length);
  if (request.input_length > 0 &&
      client.read_exact(buffers.input.data(), buffers.input.size(), frame_timeout_ms) != platform::io_status::ok) {
    return false;  // the client went away in the middle of its request
  }
  if (request.operation == static_cast<uint32_t>(lab::operation::open_shared_channel)) {
    return open_shared_channel(client, buffers);
  }
  const uint32_t status = handle(request.operation, request.handle, request.code, buffers.input,
                                 request.output_capacity, buffers.output, request.timeout_ms,
                                 [&client] { return client.peer_closed(); });
  const auto answer = lab::encode(lab::answer_header{status, static_cast<uint32_t>(buffers.output.size())});
  return client.write_all(answer.data(), answer.size(), frame_timeout_ms) == platform::io_status::ok &&
         (buffers.output.empty() ||
          client.write_all(buffers.output.data(), buffers.output.size(), frame_timeout_ms) == platform::io_status::ok);
}

// Hands the client a shared channel with the answer; where none can be made the answer says
// so and the client keeps to the socket.
bool lab_server::open_shared_channel(platform::stream_connection& client, request_buffers& buffers) {
  std::string error;
  platform::shared_channel channel =
      platform::shared_channel::supported() ? platform::shared_channel::create(&error) : platform::shared_channel();
  if (!channel.valid()) {
    const auto refusal = lab::encode(lab::answer_header{platform::error::not_supported, 0});
    return client.write_all(refusal.data(), refusal.size(), frame_timeout_ms) == platform::io_status::ok;
  }
  const auto answer = lab::encode(lab::answer_header{platform::error::success, 0});
  if (channel.send_with(client, answer.data(), answer.size(), frame_timeout_ms) != platform::io_status::ok) {
    return false;
  }
  buffers.channel = std::move(channel);
  return true;
}

// Serves the request the client posted in its shared channel; false when the client is to
// be closed. The frame is copied out of the shared area before it is checked or used: the
// client can change that memory at any time.
bool lab_server::serve_channel_request(platform::stream_connection& client, request_buffers& buffers) {
  platform::shared_channel& channel = buffers.channel;
  const uint8_t* area = channel.request_area();
  uint8_t head[lab::request_header_size];
  std::memcpy(head, area, sizeof head);
  const lab::request_header request = lab::decode_request(head);
  if (!lab::well_formed(request) || request.input_length > platform::shared_channel::area_size - sizeof head ||
      request.output_capacity > platform::shared_channel::area_size - lab::answer_header_size ||
      request.operation == static_cast<uint32_t>(lab::operation::open_shared_channel)) {
    report_malformed(request);
    return false;
  }
  buffers.input.assign(area + sizeof head, area + sizeof head + request.input_length);
  const uint32_t status = handle(request.operation, request.handle, request.code, buffers.input,
                                 request.output_capacity, buffers.output, request.timeout_ms,
                                 [&client] { return client.peer_closed(); });
  uint8_t* reply = channel.answer_area();
  const auto answer = lab::encode(lab::answer_header{status, static_cast<uint32_t>(buffers.output.size())});
  std::memcpy(reply, answer.data(), answer.size());
  if (!buffers.output.empty()) std::memcpy(reply + answer.size(), buffers.output.data(), buffers.output.size());
  channel.post_answer();
  return true;
}

void lab_server::report_malformed(const lab::request_header& request) {
  std::printf("zamsim: malformed frame from a client (magic 0x%08X, operation %u, lengths %u/%u); closing it\n",
              request.magic, request.operation, request.input_length, request.output_capacity);
  std::fflush(stdout);
}

// The first frame on a TCP connection: the hello with the lab's secret, whole within the
// frame time-out. Anything else, a wrong secret or silence closes the client, logged with its
// address; a right one is answered with success.
bool lab_server::client_proved_secret(platform::stream_connection& client) {
  const std::string who = client.peer_name();
  const auto refuse = [&](const std::string& why) {
    std::printf("zamsim: client %s %s; closing it\n", who.c_str(), why.c_str());
    std::fflush(stdout);
    return false;
  };
  const auto read_failure = [&](platform::io_status status) {
    return refuse(status == platform::io_status::timed_out
                      ? "sent no proof of the lab's secret within " + std::to_string(frame_timeout_ms) + " ms"
                      : std::string("closed the connection before proving the lab's secret"));
  };
  uint8_t hello[lab::hello_size];
  platform::io_status status = client.read_exact(hello, lab::hello_head_size, frame_timeout_ms);
  if (status != platform::io_status::ok) return read_failure(status);
  if (!lab::hello_head_well_formed(hello)) return refuse("sent something other than the lab's secret first");
  status = client.read_exact(hello + lab::hello_head_size, lab::secret_size, frame_timeout_ms);
  if (status != platform::io_status::ok) return read_failure(status);
  if (!has_secret_ || !lab::same_secret(hello + lab::hello_head_size, secret_.data())) {
    const auto denied = lab::encode(lab::answer_header{platform::error::access_denied, 0});
    client.write_all(denied.data(), denied.size(), frame_timeout_ms);
    return refuse("proved a wrong secret");
  }
  const auto accepted = lab::encode(lab::answer_header{success, 0});
  return client.write_all(accepted.data(), accepted.size(), frame_timeout_ms) == platform::io_status::ok;
}

void lab_server::serve_client(std::shared_ptr<platform::stream_connection> client) {
  request_buffers buffers;
  const bool proved = !listener_.is_tcp() || client_proved_secret(*client);
  while (proved && !stopping_) {
    bool keep = true;
    if (buffers.channel.valid()) {
      // Idle clients may wait as long as they like between requests; the stop flag and the
      // client's socket are looked at every quarter second.
      const auto kind = buffers.channel.wait_request(250);
      if (!kind) {
        if (client->peer_closed()) break;
        continue;
      }
      if (*kind == static_cast<uint32_t>(platform::shared_channel::request_kind::in_area)) {
        keep = serve_channel_request(*client, buffers);
      } else if (*kind == static_cast<uint32_t>(platform::shared_channel::request_kind::on_socket)) {
        uint8_t first = 0;
        keep = client->read_exact(&first, 1, frame_timeout_ms) == platform::io_status::ok &&
               serve_socket_frame(*client, &first, buffers);
      } else if (*kind == static_cast<uint32_t>(platform::shared_channel::request_kind::closing)) {
        keep = false;
      } else {
        std::printf("zamsim: a client posted an unknown request kind %u; closing it\n", *kind);
        std::fflush(stdout);
        keep = false;
      }
    } else {
      uint8_t first = 0;
      const auto status = client->read_exact(&first, 1, 250);
      if (status == platform::io_status::timed_out) continue;
      keep = status == platform::io_status::ok && serve_socket_frame(*client, &first, buffers);
    }
    if (!keep) break;
    if (stop_pending_) stopping_ = true;
  }
  {
    // serve() shuts client sockets down under this lock when it stops; closing under it too
    // keeps that shutdown off a descriptor number already closed and perhaps reused.
    std::lock_guard lock(clients_mutex_);
    client->close();
  }
  --active_clients_;
}

void lab_server::serve() {
  std::vector<std::thread> threads;
  while (!stopping_ && !platform::stop_requested()) {
    auto connection = listener_.accept(200);
    if (!connection.valid()) continue;
    if (active_clients_ >= max_clients) {
      std::printf("zamsim: more than %zu clients at once; refusing one\n", max_clients);
      std::fflush(stdout);
      continue;  // the connection closes as it goes out of scope
    }
    auto shared = std::make_shared<platform::stream_connection>(std::move(connection));
    {
      std::lock_guard lock(clients_mutex_);
      clients_.push_back(shared);
    }
    ++active_clients_;
    threads.emplace_back([this, shared] { serve_client(shared); });
  }
  stopping_ = true;
  {
    std::lock_guard lock(clients_mutex_);
    for (auto& weak : clients_) {
      if (auto client = weak.lock()) client->shutdown();
    }
  }
  for (auto& t : threads) t.join();
  listener_.close();
}

}  // namespace zamsim
