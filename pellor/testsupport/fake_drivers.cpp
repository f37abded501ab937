// Fake drivers: request codes and packets answered as the real drivers answer them.
#include "fake_drivers.h"

#include <algorithm>
#include <cstring>

namespace pellor::fake {

std::vector<uint8_t>& byte_array_config_space::add_function(const function_address& where,
                                                            uint16_t vendor_id,
                                                            uint16_t device_id,
                                                            uint8_t header_type) {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t>& space = functions_[where];
  space.assign(PELLOR_CONFIG_SPACE_SIZE, 0);
  std::memcpy(&space[0x00], &vendor_id, 2);
  std::memcpy(&space[0x02], &device_id, 2);
  space[0x0E] = header_type;
  return space;
}

std::vector<uint8_t>& byte_array_config_space::add_bridge(const function_address& where,
                                                          uint8_t secondary_bus,
                                                          uint8_t subordinate_bus) {
  std::vector<uint8_t>& space = add_function(where, 0x8086, 0xB000, 0x01);
  space[0x18] = static_cast<uint8_t>(where.bus);
  space[0x19] = secondary_bus;
  space[0x1A] = subordinate_bus;
  return space;
}

std::vector<uint8_t>& byte_array_config_space::bytes(const function_address& where) {
  std::lock_guard lock(mutex_);
  return functions_.at(where);
}

void byte_array_config_space::read(const function_address& where, uint32_t offset,
                                   uint32_t length, uint8_t* out) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  if (found == functions_.end()) {
    std::memset(out, 0xFF, length);
    return;
  }
  std::memcpy(out, found->second.data() + offset, length);
}

void byte_array_config_space::write(const function_address& where, uint32_t offset,
                                    uint32_t length, const uint8_t* in) {
  std::lock_guard lock(mutex_);
  const auto found = functions_.find(where);
  if (found != functions_.end()) std::memcpy(found->second.data() + offset, in, length);
}

struct fake_drivers::shared {
  std::shared_ptr<config_space_source> space;
  mutable std::mutex mutex;
  bool recording = true;
  std::vector<recorded_request> log;
  uint32_t card_answer = 0;
  std::vector<uint8_t> trace;

  void record(const std::string& path, uint32_t code, const uint8_t* in, uint32_t in_length,
              uint32_t out_capacity) {
    std::lock_guard lock(mutex);
    if (!recording) return;
    log.push_back(recorded_request{path, code, std::vector<uint8_t>(in, in + in_length),
                                   out_capacity});
  }
};

namespace {

bool in_bounds(uint32_t offset, uint32_t length) {
  return uint64_t{offset} + length <= PELLOR_CONFIG_SPACE_SIZE;
}

// Copies a packet of type T out of the request, checking both directions' sizes.
template <class T>
bool take_packet(const uint8_t* in, uint32_t in_length, uint32_t out_capacity, T& packet) {
  if (in_length != sizeof(T) || out_capacity < sizeof(T)) return false;
  std::memcpy(&packet, in, sizeof(T));
  return true;
}

template <class T>
uint32_t give_packet(const T& packet, uint8_t* out, uint32_t& returned) {
  std::memcpy(out, &packet, sizeof(T));
  returned = sizeof(T);
  return platform::error::success;
}

uint32_t give_identity(const function_address& who, uint32_t in_length, uint8_t* out,
                       uint32_t out_capacity, uint32_t& returned) {
  if (in_length != sizeof(PELLOR_IDENTITY_PACKET_t) ||
      out_capacity < sizeof(PELLOR_IDENTITY_PACKET_t)) {
    return platform::error::invalid_parameter;
  }
  return give_packet(PELLOR_IDENTITY_PACKET_t{who.bus, who.device, who.function}, out, returned);
}

// Identity, read and write of a driver that serves one function: the known-endpoint and
// Farrow port drivers, whose packets carry the same fields in different places.
template <typename Packet, typename State>
platform::inprocess_provider::handler single_function_driver(std::shared_ptr<State> state, std::string path,
                                                             function_address identity, uint32_t identity_code,
                                                             uint32_t read_code, uint32_t write_code) {
  return [=](uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
             uint32_t& returned) -> uint32_t {
    state->record(path, code, in, in_length, out_capacity);
    if (code == identity_code) return give_identity(identity, in_length, out, out_capacity, returned);
    if (code != read_code && code != write_code) return platform::error::invalid_function;
    Packet packet;
    if (!take_packet(in, in_length, out_capacity, packet) || !in_bounds(packet.offset, packet.length)) {
      return platform::error::invalid_parameter;
    }
    if (code == read_code) {
      state->space->read(identity, packet.offset, packet.length, packet.data);
    } else {
      state->space->write(identity, packet.offset, packet.length, packet.data);
    }
    return give_packet(packet, out, returned);
  };
}

}  // namespace

fake_drivers::fake_drivers(std::shared_ptr<config_space_source> space)
    : shared_(std::make_shared<shared>()),
      provider_(std::make_shared<platform::inprocess_provider>("pellor fake drivers")) {
  shared_->space = std::move(space);
}

std::string fake_drivers::add_config_driver() {
  const std::string path = "fake-config-" + std::to_string(next_index_++);
  auto state = shared_;
  provider_->add_interface(
      platform::driver_class::config_space, path,
      [state, path](uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                    uint32_t out_capacity, uint32_t& returned) -> uint32_t {
        state->record(path, code, in, in_length, out_capacity);
        if (code == PELLOR_IOCTL_CONFIG_READ || code == PELLOR_IOCTL_CONFIG_WRITE) {
          PELLOR_CONFIG_PACKET_t packet;
          if (!take_packet(in, in_length, out_capacity, packet) ||
              !in_bounds(packet.offset, packet.length)) {
            return platform::error::invalid_parameter;
          }
          const function_address where{packet.bus, packet.device, packet.function};
          if (code == PELLOR_IOCTL_CONFIG_READ) {
            state->space->read(where, packet.offset, packet.length, packet.data);
          } else {
            state->space->write(where, packet.offset, packet.length, packet.data);
          }
          return give_packet(packet, out, returned);
        }
        if (code == PELLOR_IOCTL_CONFIG_SET_WINDOW) {
          return in_length == sizeof(PELLOR_CONFIG_WINDOW_t) ? platform::error::success
                                                               : platform::error::invalid_parameter;
        }
        if (code == PELLOR_IOCTL_CONFIG_GET_WINDOW && out_capacity >= 16) {
          return give_packet(PELLOR_CONFIG_WINDOW_t{0xE0000000u, 0x10000000u}, out, returned);
        }
        if (code == PELLOR_IOCTL_CONFIG_QUERY_MCFG && out_capacity >= 24) {
          PELLOR_MCFG_PACKET_t mcfg{};
          mcfg.base_address = 0xE0000000u;
          mcfg.start_bus = 0;
          mcfg.end_bus = 255;
          mcfg.window_length = 0x10000000u;
          return give_packet(mcfg, out, returned);
        }
        return platform::error::invalid_function;
      });
  return path;
}

std::string fake_drivers::add_known_endpoint(const function_address& identity) {
  const std::string path = "fake-kep-" + std::to_string(next_index_++);
  provider_->add_interface(platform::driver_class::known_endpoint, path,
                           single_function_driver<PELLOR_KEP_PACKET_t>(shared_, path, identity,
                                                                       PELLOR_IOCTL_KEP_IDENTITY,
                                                                       PELLOR_IOCTL_KEP_READ, PELLOR_IOCTL_KEP_WRITE));
  return path;
}

std::string fake_drivers::add_farrow_port(const function_address& identity) {
  const std::string path = "fake-farrow-" + std::to_string(next_index_++);
  provider_->add_interface(platform::driver_class::farrow_port, path,
                           single_function_driver<PELLOR_FARROW_PACKET_t>(shared_, path, identity,
                                                                          PELLOR_IOCTL_FARROW_IDENTITY,
                                                                          PELLOR_IOCTL_FARROW_READ,
                                                                          PELLOR_IOCTL_FARROW_WRITE));
  return path;
}

std::string fake_drivers::add_card(const PELLOR_CARD_QUERY_PACKET_t& identity) {
  const std::string path = "fake-card-" + std::to_string(next_index_++);
  auto state = shared_;
  provider_->add_interface(
      platform::driver_class::zam_card, path,
      [state, path, identity](uint32_t code, const uint8_t* in, uint32_t in_length, uint8_t* out,
                              uint32_t out_capacity, uint32_t& returned) -> uint32_t {
        state->record(path, code, in, in_length, out_capacity);
        if (code == PELLOR_IOCTL_CARD_QUERY) {
          PELLOR_CARD_QUERY_PACKET_t ignored;
          if (!take_packet(in, in_length, out_capacity, ignored)) {
            return platform::error::invalid_parameter;
          }
          return give_packet(identity, out, returned);
        }
        if (code != PELLOR_IOCTL_CARD_COMMAND || in_length < sizeof(PELLOR_CARD_COMMAND_PACKET_t) ||
            out_capacity < in_length) {
          return platform::error::invalid_parameter;
        }
        std::memcpy(out, in, in_length);
        returned = in_length;
        uint32_t command = 0;
        std::memcpy(&command, in, 4);
        std::lock_guard lock(state->mutex);
        if (command == PELLOR_CARD_READ_TRACE) {
          uint64_t wanted = 0;
          std::memcpy(&wanted, in + 8, 8);
          const uint64_t room = in_length - sizeof(PELLOR_TRACE_READ_HEADER_t);
          const uint64_t count = std::min<uint64_t>({wanted, room, state->trace.size()});
          std::memcpy(out + sizeof(PELLOR_TRACE_READ_HEADER_t), state->trace.data(), count);
          std::memcpy(out + 8, &count, 8);
        } else if (command != PELLOR_CARD_PROGRAM_COMMAND && command != PELLOR_CARD_SET_MODE &&
                   command != PELLOR_CARD_SET_TRACE_CONFIG && command != PELLOR_CARD_SET_LOGGING) {
          std::memcpy(out + 4, &state->card_answer, 4);
        }
        return platform::error::success;
      });
  return path;
}

void fake_drivers::set_card_answer(uint32_t word) {
  std::lock_guard lock(shared_->mutex);
  shared_->card_answer = word;
}

void fake_drivers::set_trace(std::vector<uint8_t> bytes) {
  std::lock_guard lock(shared_->mutex);
  shared_->trace = std::move(bytes);
}

void fake_drivers::record_requests(bool on) {
  std::lock_guard lock(shared_->mutex);
  shared_->recording = on;
}

std::vector<recorded_request> fake_drivers::requests() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->log;
}

std::vector<recorded_request> fake_drivers::requests_to(const std::string& path) const {
  std::vector<recorded_request> matching;
  for (auto& request : requests()) {
    if (request.path == path) matching.push_back(request);
  }
  return matching;
}

void fake_drivers::clear_requests() {
  std::lock_guard lock(shared_->mutex);
  shared_->log.clear();
}

PELLOR_CARD_QUERY_PACKET_t card_identity(const function_address& where, uint32_t port_type,
                                         uint32_t extra_flags, uint32_t bus_behind) {
  PELLOR_CARD_QUERY_PACKET_t identity{};
  identity.bus = where.bus;
  identity.device = where.device;
  identity.function = where.function;
  identity.flags = (port_type << PELLOR_CARD_PORT_TYPE_SHIFT) | extra_flags;
  identity.info[0] = 0x11;
  identity.info[1] = 0x22;
  identity.info[2] = 0x33;
  identity.info[3] = 0x44;
  identity.port[0] = bus_behind;
  return identity;
}

}  // namespace pellor::fake
