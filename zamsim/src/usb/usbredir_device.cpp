// The card's USB controller over usbredir: descriptors, standard requests, and the vendor
// requests and bulk pipes passed to the usb_controller.
#include "usb/usbredir_device.h"

#include <usbredirparser.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/devio.h"
#include "usb/ezusb_requests.h"

namespace zamsim {
namespace {

constexpr uint8_t type_device = 1, type_configuration = 2, type_string = 3, type_qualifier = 6;
constexpr uint8_t request_get_status = 0x00, request_clear_feature = 0x01, request_get_descriptor = 0x06;
constexpr const char* manufacturer = "ZAM";
constexpr const char* product = "ZAM PCI Express card (lab)";

void put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void put_endpoint(std::vector<uint8_t>& out, uint8_t address) {
  out.insert(out.end(), {7, 5, address, 0x02});
  put16(out, usb_device::bulk_packet_size);
  out.push_back(0);
}

uint8_t status_of(uint32_t code) {
  switch (code) {
    case platform::error::success: return usb_redir_success;
    case platform::error::operation_aborted: return usb_redir_cancelled;
    case platform::error::timeout: return usb_redir_timeout;
    case platform::error::insufficient_buffer: return usb_redir_babble;
    default: return usb_redir_stall;
  }
}

}  // namespace

std::vector<uint8_t> usb_device::descriptor(uint8_t type, uint8_t index, uint16_t product_number) {
  std::vector<uint8_t> out;
  if (type == type_device && index == 0) {
    out = {18, type_device};
    put16(out, 0x0200);
    out.insert(out.end(), {0, 0, 0, control_packet_size});
    put16(out, vendor_id);
    put16(out, product_number);
    put16(out, device_release);
    out.insert(out.end(), {1, 2, 0, 1});
  } else if (type == type_configuration && index == 0) {
    out = {9, type_configuration, 32, 0, 1, 1, 0, 0x80, 50};
    out.insert(out.end(), {9, 4, 0, 0, 2, interface_class, 0, 0, 0});
    put_endpoint(out, endpoint_completions);
    put_endpoint(out, endpoint_requests);
  } else if (type == type_qualifier && index == 0) {
    out = {10, type_qualifier};
    put16(out, 0x0200);
    out.insert(out.end(), {0, 0, 0, control_packet_size, 1, 0});
  } else if (type == type_string && index == 0) {
    out = {4, type_string, 0x09, 0x04};  // English (United States)
  } else if (type == type_string && (index == 1 || index == 2)) {
    const char* text = index == 1 ? manufacturer : product;
    out = {0, type_string};
    for (const char* c = text; *c != '\0'; ++c) put16(out, static_cast<uint8_t>(*c));
    out[0] = static_cast<uint8_t>(out.size());
  }
  return out;
}

usbredir_device::usbredir_device(usb_controller& usb, write_function write, usb_host_hooks hooks)
    : usb_(usb), write_(std::move(write)), hooks_(std::move(hooks)) {
  parser_ = usbredirparser_create();
  parser_->priv = this;
  parser_->read_func = read_callback;
  parser_->write_func = write_callback;
  parser_->log_func = [](void*, int level, const char* message) {
    if (level <= usbredirparser_warning) std::fprintf(stderr, "zamsim: usbredir: %s\n", message);
  };
  parser_->hello_func = hello_callback;
  parser_->reset_func = reset_callback;
  parser_->set_configuration_func = set_configuration_callback;
  parser_->get_configuration_func = get_configuration_callback;
  parser_->set_alt_setting_func = set_alt_setting_callback;
  parser_->get_alt_setting_func = get_alt_setting_callback;
  parser_->cancel_data_packet_func = cancel_callback;
  parser_->control_packet_func = control_callback;
  parser_->bulk_packet_func = bulk_callback;
  // What the device has no use for (it has no isochronous or interrupt endpoints, no streams)
  // is taken and dropped: the parser calls every callback without checking it is set.
  parser_->start_iso_stream_func = [](void*, uint64_t, usb_redir_start_iso_stream_header*) {};
  parser_->stop_iso_stream_func = [](void*, uint64_t, usb_redir_stop_iso_stream_header*) {};
  parser_->start_interrupt_receiving_func = [](void*, uint64_t, usb_redir_start_interrupt_receiving_header*) {};
  parser_->stop_interrupt_receiving_func = [](void*, uint64_t, usb_redir_stop_interrupt_receiving_header*) {};
  parser_->alloc_bulk_streams_func = [](void*, uint64_t, usb_redir_alloc_bulk_streams_header*) {};
  parser_->free_bulk_streams_func = [](void*, uint64_t, usb_redir_free_bulk_streams_header*) {};
  parser_->filter_reject_func = [](void*) {};
  parser_->filter_filter_func = [](void*, usbredirfilter_rule* rules, int) { free(rules); };
  parser_->device_disconnect_ack_func = [](void*) {};
  parser_->start_bulk_receiving_func = [](void*, uint64_t, usb_redir_start_bulk_receiving_header*) {};
  parser_->stop_bulk_receiving_func = [](void*, uint64_t, usb_redir_stop_bulk_receiving_header*) {};
  parser_->iso_packet_func = [](void* priv, uint64_t, usb_redir_iso_packet_header*, uint8_t* data, int) {
    if (data != nullptr) usbredirparser_free_packet_data(static_cast<usbredir_device*>(priv)->parser_, data);
  };
  parser_->interrupt_packet_func = [](void* priv, uint64_t, usb_redir_interrupt_packet_header*, uint8_t* data, int) {
    if (data != nullptr) usbredirparser_free_packet_data(static_cast<usbredir_device*>(priv)->parser_, data);
  };
  uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
  usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
  std::lock_guard lock(mutex_);
  usbredirparser_init(parser_, "zamsim", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
  flush();
  reader_ = std::thread([this] { reader_loop(); });
}

usbredir_device::~usbredir_device() {
  {
    std::lock_guard lock(reads_mutex_);
    stopping_ = true;
  }
  reads_changed_.notify_all();
  reader_.join();
  usbredirparser_destroy(parser_);
}

bool usbredir_device::receive(const uint8_t* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  input_ = data;
  input_left_ = size;
  while (!broken_ && input_left_ > 0) {
    const int status = usbredirparser_do_read(parser_);
    if (status == usbredirparser_read_parse_error || status == usbredirparser_read_io_error) broken_ = true;
  }
  input_left_ = 0;
  flush();
  return !broken_;
}

void usbredir_device::flush() {
  while (!broken_ && usbredirparser_has_data_to_write(parser_)) {
    if (usbredirparser_do_write(parser_) != 0) broken_ = true;
  }
}

int usbredir_device::read_callback(void* priv, uint8_t* data, int count) {
  auto* self = static_cast<usbredir_device*>(priv);
  const std::size_t n = std::min<std::size_t>(self->input_left_, static_cast<std::size_t>(count));
  std::memcpy(data, self->input_, n);
  self->input_ += n;
  self->input_left_ -= n;
  return static_cast<int>(n);
}

int usbredir_device::write_callback(void* priv, uint8_t* data, int count) {
  auto* self = static_cast<usbredir_device*>(priv);
  return self->write_(data, static_cast<std::size_t>(count)) ? count : -1;
}

void usbredir_device::hello_callback(void* priv, struct usb_redir_hello_header*) {
  static_cast<usbredir_device*>(priv)->announce();
}

// Endpoints and interface first, then the device: the peer attaches it on device_connect.
void usbredir_device::announce() {
  usb_redir_ep_info_header endpoints{};
  std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
  const auto slot = [](uint8_t address) { return ((address & 0x80) >> 3) | (address & 0x0F); };
  endpoints.type[0] = endpoints.type[16] = usb_redir_type_control;
  endpoints.max_packet_size[0] = endpoints.max_packet_size[16] = usb_device::control_packet_size;
  for (uint8_t address : {usb_device::endpoint_completions, usb_device::endpoint_requests}) {
    endpoints.type[slot(address)] = usb_redir_type_bulk;
    endpoints.max_packet_size[slot(address)] = usb_device::bulk_packet_size;
  }
  usbredirparser_send_ep_info(parser_, &endpoints);
  usb_redir_interface_info_header interfaces{};
  interfaces.interface_count = 1;
  interfaces.interface_class[0] = usb_device::interface_class;
  usbredirparser_send_interface_info(parser_, &interfaces);
  usb_redir_device_connect_header device{};
  device.speed = usb_redir_speed_high;
  product_ = usb_.firmware_running() ? usb_device::product_id : usb_device::blank_product_id;
  device.vendor_id = usb_device::vendor_id;
  device.product_id = product_;
  device.device_version_bcd = usb_device::device_release;
  usbredirparser_send_device_connect(parser_, &device);
  power_cycles_ = usb_.power_cycles();
  enumerations_ = usb_.enumerations();
  configuration_ = 0;
  announced_ = true;
}

void usbredir_device::follow_power_cycles() {
  {
    std::lock_guard lock(mutex_);
    if (!announced_ || broken_ ||
        (usb_.power_cycles() == power_cycles_ && usb_.enumerations() == enumerations_)) {
      return;
    }
  }
  // The old device's transfers end before it leaves: the queued ones are cancelled here, the
  // one waiting in the controller by the reader (without the connection's lock held here).
  std::deque<bulk_in> queued;
  {
    std::unique_lock reads(reads_mutex_);
    queued.swap(reads_);
    if (reading_) current_cancelled_ = true;
    reads_changed_.wait(reads, [&] { return !reading_ || stopping_; });
  }
  {
    std::lock_guard lock(mutex_);
    for (const bulk_in& read : queued) {
      usb_redir_bulk_packet_header header{};
      header.endpoint = read.endpoint;
      header.status = usb_redir_cancelled;
      usbredirparser_send_bulk_packet(parser_, read.id, &header, nullptr, 0);
    }
    usbredirparser_send_device_disconnect(parser_);
    announce();
    flush();
  }
  if (hooks_.left_bus) hooks_.left_bus();
}

void usbredir_device::reset_callback(void* priv) {
  auto* self = static_cast<usbredir_device*>(priv);
  self->configuration_ = 0;
}

void usbredir_device::set_configuration_callback(void* priv, uint64_t id, struct usb_redir_set_configuration_header* h) {
  auto* self = static_cast<usbredir_device*>(priv);
  usb_redir_configuration_status_header status{};
  if (h->configuration <= 1) {
    self->configuration_ = h->configuration;
    status.status = usb_redir_success;
  } else {
    status.status = usb_redir_stall;
  }
  status.configuration = self->configuration_;
  usbredirparser_send_configuration_status(self->parser_, id, &status);
}

void usbredir_device::get_configuration_callback(void* priv, uint64_t id) {
  auto* self = static_cast<usbredir_device*>(priv);
  usb_redir_configuration_status_header status{usb_redir_success, self->configuration_};
  usbredirparser_send_configuration_status(self->parser_, id, &status);
}

void usbredir_device::set_alt_setting_callback(void* priv, uint64_t id, struct usb_redir_set_alt_setting_header* h) {
  auto* self = static_cast<usbredir_device*>(priv);
  const bool known = h->interface == 0 && h->alt == 0;
  usb_redir_alt_setting_status_header status{static_cast<uint8_t>(known ? usb_redir_success : usb_redir_stall),
                                             h->interface, 0};
  usbredirparser_send_alt_setting_status(self->parser_, id, &status);
}

void usbredir_device::get_alt_setting_callback(void* priv, uint64_t id, struct usb_redir_get_alt_setting_header* h) {
  auto* self = static_cast<usbredir_device*>(priv);
  usb_redir_alt_setting_status_header status{
      static_cast<uint8_t>(h->interface == 0 ? usb_redir_success : usb_redir_inval), h->interface, 0};
  usbredirparser_send_alt_setting_status(self->parser_, id, &status);
}

void usbredir_device::cancel_callback(void* priv, uint64_t id) {
  auto* self = static_cast<usbredir_device*>(priv);
  std::lock_guard lock(self->reads_mutex_);
  if (self->reading_ && self->current_read_ == id) {
    self->current_cancelled_ = true;  // the reader ends the wait and answers
    return;
  }
  for (auto it = self->reads_.begin(); it != self->reads_.end(); ++it) {
    if (it->id != id) continue;
    usb_redir_bulk_packet_header header{};
    header.endpoint = it->endpoint;
    header.status = usb_redir_cancelled;
    self->reads_.erase(it);
    usbredirparser_send_bulk_packet(self->parser_, id, &header, nullptr, 0);
    return;
  }
}

void usbredir_device::control_callback(void* priv, uint64_t id, struct usb_redir_control_packet_header* h,
                                       uint8_t* data, int length) {
  auto* self = static_cast<usbredir_device*>(priv);
  self->control(id, *h, data, length);
  if (data != nullptr) usbredirparser_free_packet_data(self->parser_, data);
}

void usbredir_device::bulk_callback(void* priv, uint64_t id, struct usb_redir_bulk_packet_header* h, uint8_t* data,
                                    int length) {
  auto* self = static_cast<usbredir_device*>(priv);
  self->bulk(id, *h, data, length);
  if (data != nullptr) usbredirparser_free_packet_data(self->parser_, data);
}

void usbredir_device::control(uint64_t id, struct usb_redir_control_packet_header& header, const uint8_t* data,
                              int length) {
  const bool in = (header.requesttype & 0x80) != 0;
  const uint8_t kind = (header.requesttype >> 5) & 0x03;
  std::vector<uint8_t> reply;
  uint8_t status = usb_redir_stall;
  if (kind == 0) {
    // Standard requests the peer passes on (it keeps addresses, configurations and
    // alternate settings to itself).
    if (in && header.request == request_get_descriptor) {
      reply = usb_device::descriptor(static_cast<uint8_t>(header.value >> 8), static_cast<uint8_t>(header.value),
                                     product_);
      if (!reply.empty()) status = usb_redir_success;
    } else if (in && header.request == request_get_status) {
      reply = {0, 0};
      status = usb_redir_success;
    } else if (!in && header.request == request_clear_feature && (header.requesttype & 0x1F) == 2 &&
               header.value == 0) {
      status = usb_redir_success;  // ENDPOINT_HALT: the lab's pipes never stay halted
    }
  } else if (kind == 2 && (header.requesttype & 0x1F) == 0) {
    uint32_t returned = 0;
    uint32_t code = platform::error::gen_failure;
    if (in) {
      reply.assign(header.length, 0);
      uint8_t record[ezusb::vendor_record_size] = {1, 2, 0, 0, header.request, 0};
      std::memcpy(record + 6, &header.value, 2);
      std::memcpy(record + 8, &header.index, 2);
      code = usb_.serve(ezusb::ioctl_vendor, record, sizeof record, reply.data(), header.length, returned, 0);
      reply.resize(code == platform::error::success ? returned : 0);
    } else {
      std::vector<uint8_t> out(data, data + std::max(length, 0));
      if (header.request == ezusb::request_cpu_reset && header.value == ezusb::cpu_control_register &&
          out.size() == 1) {
        uint8_t record[ezusb::reset_record_size] = {header.request, 0};
        std::memcpy(record + 2, &header.value, 2);
        std::memcpy(record + 4, &header.index, 2);
        record[6] = 1;
        record[9] = out[0];
        code = usb_.serve(ezusb::ioctl_reset, record, sizeof record, nullptr, 0, returned, 0);
        if (code == platform::error::success) returned = 1;
      } else if (header.request == ezusb::request_cpu_reset) {
        const uint8_t address[2] = {static_cast<uint8_t>(header.value), static_cast<uint8_t>(header.value >> 8)};
        code = usb_.serve(ezusb::ioctl_ram_download, address, 2, out.data(), static_cast<uint32_t>(out.size()),
                          returned, 0);
      } else {
        uint8_t record[ezusb::vendor_record_size] = {0, 2, 0, 0, header.request, 0};
        std::memcpy(record + 6, &header.value, 2);
        std::memcpy(record + 8, &header.index, 2);
        code = usb_.serve(ezusb::ioctl_vendor, record, sizeof record, out.data(), static_cast<uint32_t>(out.size()),
                          returned, 0);
      }
      if (code == platform::error::success) header.length = static_cast<uint16_t>(returned);
    }
    status = status_of(code);
  }
  header.status = status;
  if (in) {
    if (status != usb_redir_success) reply.clear();
    if (reply.size() > header.length) reply.resize(header.length);
    header.length = static_cast<uint16_t>(reply.size());
    usbredirparser_send_control_packet(parser_, id, &header, reply.empty() ? nullptr : reply.data(),
                                       static_cast<int>(reply.size()));
  } else {
    if (status != usb_redir_success) header.length = 0;
    usbredirparser_send_control_packet(parser_, id, &header, nullptr, 0);
  }
}

void usbredir_device::bulk(uint64_t id, struct usb_redir_bulk_packet_header& header, const uint8_t* data, int length) {
  const uint32_t wanted = uint32_t{header.length} | uint32_t{header.length_high} << 16;
  if (header.endpoint == usb_device::endpoint_requests) {
    {
      std::lock_guard lock(reads_mutex_);
      reads_.push_back({id, wanted, header.endpoint});
    }
    reads_changed_.notify_all();
    return;
  }
  uint32_t returned = 0;
  uint32_t code = platform::error::gen_failure;
  if (header.endpoint == usb_device::endpoint_completions && length <= 0) {
    // A zero-length packet ends a completion that filled whole packets; it is none itself.
    code = platform::error::success;
  } else if (header.endpoint == usb_device::endpoint_completions) {
    const uint8_t pipe[4] = {ezusb::pipe_completions, 0, 0, 0};
    std::vector<uint8_t> out(data, data + std::max(length, 0));
    code = usb_.serve(ezusb::ioctl_bulk_write, pipe, 4, out.data(), static_cast<uint32_t>(out.size()), returned, 0);
  }
  header.status = status_of(code);
  header.length = static_cast<uint16_t>(returned);
  header.length_high = static_cast<uint16_t>(returned >> 16);
  usbredirparser_send_bulk_packet(parser_, id, &header, nullptr, 0);
}

// Bulk IN transfers, one at a time as an endpoint serves them: each waits for a request
// from the system under test until it arrives, the peer cancels it or the connection ends.
void usbredir_device::reader_loop() {
  for (;;) {
    bulk_in read{};
    {
      std::unique_lock lock(reads_mutex_);
      reads_changed_.wait(lock, [&] { return stopping_ || !reads_.empty(); });
      if (stopping_) return;
      read = reads_.front();
      reads_.pop_front();
      current_read_ = read.id;
      current_cancelled_ = false;
      reading_ = true;
    }
    if (hooks_.waits_for_requests) hooks_.waits_for_requests();
    std::vector<uint8_t> buffer(read.length);
    uint32_t returned = 0;
    const uint8_t pipe[4] = {ezusb::pipe_requests, 0, 0, 0};
    const uint32_t code =
        usb_.serve(ezusb::ioctl_bulk_read, pipe, 4, buffer.data(), read.length, returned, platform::infinite_timeout,
                   [this] {
                     std::lock_guard lock(reads_mutex_);
                     return stopping_ || current_cancelled_;
                   });
    {
      std::lock_guard lock(mutex_);
      bool stop = false;
      {
        std::lock_guard reads_lock(reads_mutex_);
        stop = stopping_;
      }
      if (stop) return;
      usb_redir_bulk_packet_header header{};
      header.endpoint = read.endpoint;
      header.status = status_of(code);
      if (code != platform::error::success) returned = 0;
      header.length = static_cast<uint16_t>(returned);
      header.length_high = static_cast<uint16_t>(returned >> 16);
      usbredirparser_send_bulk_packet(parser_, read.id, &header, returned == 0 ? nullptr : buffer.data(),
                                      static_cast<int>(returned));
      flush();
    }
    {
      std::lock_guard reads_lock(reads_mutex_);
      reading_ = false;
    }
    reads_changed_.notify_all();
  }
}

bool usbredir_server::listen(const std::string& path, std::string& error) {
  if (listener_.listen(path, &error)) return true;
  error = "cannot listen on " + path + " for usbredir: " + error;
  return false;
}

void usbredir_server::start() {
  thread_ = std::thread([this] { run(); });
}

void usbredir_server::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  listener_.close();
}

void usbredir_server::run() {
  while (!stop_) {
    platform::stream_connection peer = listener_.accept(100);
    if (!peer.valid()) continue;
    usbredir_device device(
        usb_, [&peer](const uint8_t* data, std::size_t size) { return peer.write_all(data, size, 5000) == platform::io_status::ok; },
        hooks_);
    uint8_t buffer[64 * 1024];
    while (!stop_) {
      std::size_t got = 0;
      const platform::io_status status = peer.read_some(buffer, sizeof buffer, got, 100);
      device.follow_power_cycles();
      if (status == platform::io_status::timed_out) continue;
      if (status != platform::io_status::ok || !device.receive(buffer, got)) break;
    }
  }
}

}  // namespace zamsim
