// The lab's drivers: request codes and packets, byte for byte.
#include "drivers/drivers.h"

#include <cstring>
#include <mutex>

namespace zamsim {
namespace {

using platform::error::access_denied;
using platform::error::invalid_function;
using platform::error::invalid_parameter;
using platform::error::success;

constexpr uint32_t config_data_size = 4096;

uint32_t word_at(const uint8_t* bytes, std::size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, 4);
  return value;
}

void put_word(uint8_t* bytes, std::size_t offset, uint32_t value) { std::memcpy(bytes + offset, &value, 4); }

void put_u64(uint8_t* bytes, std::size_t offset, uint64_t value) { std::memcpy(bytes + offset, &value, 8); }

bool valid_range(uint32_t offset, uint32_t length) {
  return offset <= config_data_size && length <= config_data_size - offset;
}

uint32_t identity(const std::optional<bdf>& at, uint8_t* out, uint32_t out_capacity, uint32_t& returned) {
  if (!at) return platform::error::device_not_connected;
  if (out_capacity < 12) return invalid_parameter;
  put_word(out, 0, at->bus);
  put_word(out, 4, at->device);
  put_word(out, 8, at->function);
  returned = 12;
  return success;
}

// The configuration-space driver: any function, through the root complex.
class config_driver : public driver_interface {
 public:
  explicit config_driver(lab_station& station) : station_(station) {}

  uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                   uint32_t& returned) override {
    switch (code) {
      case ioctl::config_read:
      case ioctl::config_write: {
        // bus; device; function; offset; length; data[4096]
        if (in_length < 20 || out_capacity < 20) return invalid_parameter;
        const uint32_t bus = word_at(in, 0), device = word_at(in, 4), function = word_at(in, 8);
        const uint32_t offset = word_at(in, 12), length = word_at(in, 16);
        if (bus > 255 || device > 31 || function > 7 || !valid_range(offset, length) || out_capacity < 20 + length ||
            in_length < 20 + (code == ioctl::config_write ? length : 0)) {
          return invalid_parameter;
        }
        const bdf target{uint8_t(bus), uint8_t(device), uint8_t(function)};
        std::memmove(out, in, 20);
        if (code == ioctl::config_read) {
          station_.host_read(target, offset, length, out + 20);
          returned = 20 + length;
        } else {
          station_.host_write(target, offset, length, in + 20);
          returned = 20;
        }
        put_word(out, 16, length);
        return success;
      }
      case ioctl::config_set_window: {
        if (in_length < 16) return invalid_parameter;
        std::lock_guard lock(mutex_);
        std::memcpy(&window_base_, in, 8);
        std::memcpy(&window_length_, in + 8, 8);
        returned = 0;
        return success;
      }
      case ioctl::config_get_window: {
        if (out_capacity < 16) return invalid_parameter;
        std::lock_guard lock(mutex_);
        put_u64(out, 0, window_base_);
        put_u64(out, 8, window_length_);
        returned = 16;
        return success;
      }
      case ioctl::config_query_mcfg: {
        if (out_capacity < 24) return invalid_parameter;
        const station_config& c = station_.config();
        std::memset(out, 0, 24);
        put_u64(out, 0, c.config_base);
        out[8] = 0;
        const uint64_t buses = c.config_length >> 20;
        out[9] = static_cast<uint8_t>(buses == 0 ? 0 : buses > 256 ? 255 : buses - 1);
        put_u64(out, 16, c.config_length);
        returned = 24;
        return success;
      }
      default: return invalid_function;
    }
  }

 private:
  lab_station& station_;
  std::mutex mutex_;
  uint64_t window_base_ = 0;
  uint64_t window_length_ = 0;
};

// The Farrow port driver: the card's own configuration space.
class farrow_driver : public driver_interface {
 public:
  explicit farrow_driver(lab_station& station) : station_(station) {}

  uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                   uint32_t& returned) override {
    const auto& card = station_.roles().farrow;
    if (code == ioctl::farrow_identity) return identity(card, out, out_capacity, returned);
    if (code != ioctl::farrow_read && code != ioctl::farrow_write) return invalid_function;
    // offset at 0; length at 4; data[4096] at 8
    if (!card) return platform::error::device_not_connected;
    if (in_length < 8 || out_capacity < 8) return invalid_parameter;
    const uint32_t offset = word_at(in, 0), length = word_at(in, 4);
    if (!valid_range(offset, length) || out_capacity < 8 + length ||
        (code == ioctl::farrow_write && in_length < 8 + length)) {
      return invalid_parameter;
    }
    std::memmove(out, in, 8);
    if (code == ioctl::farrow_read) {
      station_.host_read(*card, offset, length, out + 8);
      returned = 8 + length;
    } else {
      station_.host_write(*card, offset, length, in + 8);
      returned = 8;
    }
    return success;
  }

 private:
  lab_station& station_;
};

// The known-endpoint driver: identity and configuration access of the known endpoint.
class known_endpoint_driver : public driver_interface {
 public:
  explicit known_endpoint_driver(lab_station& station) : station_(station) {}

  uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                   uint32_t& returned) override {
    const auto& endpoint = station_.roles().known_endpoint;
    if (code == ioctl::kep_identity) return identity(endpoint, out, out_capacity, returned);
    if (code != ioctl::kep_read && code != ioctl::kep_write) return invalid_function;
    // data[4096] at 0; length at 4096; offset at 4100
    if (!endpoint) return platform::error::device_not_connected;
    if (in_length < 4104 || out_capacity < 4104) return invalid_parameter;
    const uint32_t length = word_at(in, 4096), offset = word_at(in, 4100);
    if (!valid_range(offset, length)) return invalid_parameter;
    std::memmove(out, in, 4104);
    if (code == ioctl::kep_read) {
      station_.host_read(*endpoint, offset, length, out);
    } else {
      station_.host_write(*endpoint, offset, length, in);
    }
    put_word(out, 4096, length);
    returned = 4104;
    return success;
  }

 private:
  lab_station& station_;
};

// The ZAM card driver: one query record per interface, card commands for the card.
class card_driver : public driver_interface {
 public:
  card_driver(lab_station& station, bool is_card) : station_(station), is_card_(is_card) {}

  uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                   uint32_t& returned) override {
    const station_roles& roles = station_.roles();
    if (code == ioctl::card_query) {
      // bus; device; function; flags; info words 1-4; port words 1-3
      if (out_capacity < 44) return invalid_parameter;
      const auto& at = is_card_ ? roles.farrow : roles.known_endpoint;
      if (!at) return platform::error::device_not_connected;
      std::memset(out, 0, 44);
      put_word(out, 0, at->bus);
      put_word(out, 4, at->device);
      put_word(out, 8, at->function);
      if (is_card_) {
        put_word(out, 12, port_type_farrow << card_flag_port_type_shift | card_flag_zam);
        put_word(out, 16, station_.card().mode());  // info word 1: the mode at query time
        put_word(out, 32, roles.card_secondary);    // port word 1: the bus behind the card
      } else {
        put_word(out, 12, card_flag_zam | card_flag_known_endpoint);  // port type 0
      }
      returned = 44;
      return success;
    }
    if (code == ioctl::card_command) {
      if (!is_card_) return invalid_function;  // a known endpoint takes no card commands
      const uint32_t status = station_.card().serve(in, in_length, out, out_capacity, returned);
      if (status == success && in_length >= 4 && in[0] == card_command::arm && in[1] == 0 && in[2] == 0 && in[3] == 0) {
        station_.card_armed();
      }
      return status;
    }
    return invalid_function;
  }

 private:
  lab_station& station_;
  bool is_card_;
};

constexpr const char* config_path = "lab:config-0";
constexpr const char* farrow_path = "lab:farrow-0";
constexpr const char* kep_path = "lab:kep-0";
constexpr const char* card_path = "lab:zam-0";
constexpr const char* kep_zam_path = "lab:zam-kep-0";
// The card's USB controller, opened by its device name.
constexpr const char* usb_path = "ezusb-0";

// The EZ-USB driver of the card's controller; its requests may wait (bulk reads).
class usb_driver : public driver_interface {
 public:
  // Opening the card powers the system under test on (when the station has one); closing
  // it powers the system off.
  explicit usb_driver(lab_station& station) : station_(station), usb_(station.usb()) { station_.sut_power(true); }
  ~usb_driver() override { station_.sut_power(false); }
  uint32_t control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                   uint32_t& returned) override {
    return usb_.serve(code, in, in_length, out, out_capacity, returned, platform::infinite_timeout);
  }
  uint32_t timed_control(uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                         uint32_t& returned, uint32_t timeout_ms, const std::function<bool()>& caller_gone) override {
    return usb_.serve(code, in, in_length, out, out_capacity, returned, timeout_ms, caller_gone);
  }

 private:
  lab_station& station_;
  usb_controller& usb_;
};

}  // namespace

std::vector<std::string> driver_set::interfaces(const platform::guid& interface_class) const {
  namespace dc = platform::driver_class;
  const station_roles& roles = station_.roles();
  if (interface_class == dc::config_space) return {config_path};
  if (interface_class == dc::farrow_port) return roles.farrow ? std::vector<std::string>{farrow_path} : std::vector<std::string>{};
  if (interface_class == dc::known_endpoint) {
    return roles.known_endpoint ? std::vector<std::string>{kep_path} : std::vector<std::string>{};
  }
  if (interface_class == dc::zam_card) {
    std::vector<std::string> paths;
    if (roles.farrow) paths.push_back(card_path);
    if (roles.known_endpoint) paths.push_back(kep_zam_path);
    return paths;
  }
  return {};
}

std::unique_ptr<driver_interface> driver_set::open(const std::string& path, uint32_t& error) const {
  const station_roles& roles = station_.roles();
  if (path == config_path) return std::make_unique<config_driver>(station_);
  if (path == farrow_path && roles.farrow) return std::make_unique<farrow_driver>(station_);
  if (path == kep_path && roles.known_endpoint) return std::make_unique<known_endpoint_driver>(station_);
  if (path == card_path && roles.farrow) return std::make_unique<card_driver>(station_, true);
  if (path == kep_zam_path && roles.known_endpoint) return std::make_unique<card_driver>(station_, false);
  // The card's controller by its name in any case, as the system's device names are.
  if (platform::ezusb_device_name(path) == usb_path) return std::make_unique<usb_driver>(station_);
  error = platform::error::file_not_found;
  return nullptr;
}

}  // namespace zamsim
