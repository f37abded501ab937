// The lab daemon's socket server and request dispatch.
#include "server/lab_server.h"

#include <cstdio>
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
      status = text_answer("zamsim pid " + std::to_string(platform::current_process_id()) + ", station " +
                           station_.config().name + " (" + station_.config().path + ")\n");
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

void lab_server::serve_client(std::shared_ptr<platform::stream_connection> client) {
  std::vector<uint8_t> input, output;
  while (!stopping_) {
    uint8_t head[lab::request_header_size];
    // Idle clients may wait as long as they like between requests; the stop flag is
    // checked every quarter second.
    const auto first = client->read_exact(head, 1, 250);
    if (first == platform::io_status::timed_out) continue;
    if (first != platform::io_status::ok ||
        client->read_exact(head + 1, sizeof head - 1, frame_timeout_ms) != platform::io_status::ok) {
      break;
    }
    const lab::request_header request = lab::decode_request(head);
    // Every length is checked before anything is read or allocated; a malformed frame
    // closes this client only.
    if (!lab::well_formed(request)) {
      std::printf("zamsim: malformed frame from a client (magic 0x%08X, operation %u, lengths %u/%u); closing it\n",
                  request.magic, request.operation, request.input_length, request.output_capacity);
      std::fflush(stdout);
      break;
    }
    input.resize(request.input_length);
    if (request.input_length > 0 &&
        client->read_exact(input.data(), input.size(), frame_timeout_ms) != platform::io_status::ok) {
      break;  // the client went away in the middle of its request
    }
    const uint32_t status =
        handle(request.operation, request.handle, request.code, input, request.output_capacity, output,
               request.timeout_ms, [&client] { return client->peer_closed(); });
    const auto answer = lab::encode(lab::answer_header{status, static_cast<uint32_t>(output.size())});
    if (client->write_all(answer.data(), answer.size(), frame_timeout_ms) != platform::io_status::ok ||
        (!output.empty() && client->write_all(output.data(), output.size(), frame_timeout_ms) != platform::io_status::ok)) {
      break;
    }
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
