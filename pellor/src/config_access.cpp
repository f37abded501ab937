// Routing of configuration access: Farrow port first, then known endpoint, then the
// configuration-space driver.
#include "config_access.h"

#include <cstring>

#include "driver_request.h"
#include "pellor/pellor.h"
#include "state.h"

namespace pellor {
namespace {

enum class driver_kind { none, farrow, known_endpoint, config_space };

struct route {
  driver_kind kind = driver_kind::none;
  platform::device_handle handle = platform::invalid_handle;
};

// Looks the BDF up under each context's lock; the request itself runs outside the locks.
route choose_route(const bdf& address) {
  if (card_context* card = state.card; card != nullptr && card->farrows) {
    std::lock_guard lock(card->lock);
    for (uint32_t i = 0; i < card->farrow_count; ++i) {
      if (card->farrows[i].serves(address)) return {driver_kind::farrow, card->farrows[i].handle};
    }
  }
  if (kep_context* kep = state.kep; kep != nullptr && kep->records) {
    std::lock_guard lock(kep->lock);
    for (uint32_t i = 0; i < kep->count; ++i) {
      if (kep->records[i].serves(address)) {
        return {driver_kind::known_endpoint, kep->records[i].handle};
      }
    }
  }
  if (state.config != nullptr && state.config->opened > 0) {
    return {driver_kind::config_space, state.config->handles[0]};
  }
  return {};
}

uint32_t send_farrow(platform::device_handle handle, uint32_t code, uint32_t offset,
                     uint32_t length, void* read_into, const void* write_from) {
  PELLOR_FARROW_PACKET_t packet{};
  packet.offset = offset;
  packet.length = length;
  if (write_from != nullptr) std::memcpy(packet.data, write_from, length);
  // The Farrow driver does not write the length back: acceptance is success.
  if (!send_request(handle, code, &packet, sizeof packet, sizeof packet)) return 0;
  if (read_into != nullptr) std::memcpy(read_into, packet.data, length);
  return length;
}

uint32_t send_known_endpoint(platform::device_handle handle, uint32_t code, uint32_t offset,
                             uint32_t length, void* read_into, const void* write_from) {
  PELLOR_KEP_PACKET_t packet{};
  packet.offset = offset;
  packet.length = length;
  if (write_from != nullptr) std::memcpy(packet.data, write_from, length);
  if (!send_request(handle, code, &packet, sizeof packet, sizeof packet) ||
      packet.length != length) {
    return 0;
  }
  if (read_into != nullptr) std::memcpy(read_into, packet.data, length);
  return length;
}

uint32_t send_config_space(platform::device_handle handle, uint32_t code, const bdf& address,
                           uint32_t offset, uint32_t length, void* read_into,
                           const void* write_from) {
  PELLOR_CONFIG_PACKET_t packet{};
  packet.bus = address.bus;
  packet.device = address.device;
  packet.function = address.function;
  packet.offset = offset;
  packet.length = length;
  if (write_from != nullptr) std::memcpy(packet.data, write_from, length);
  if (!send_request(handle, code, &packet, sizeof packet, sizeof packet) ||
      packet.length != length) {
    return 0;
  }
  if (read_into != nullptr) std::memcpy(read_into, packet.data, length);
  return length;
}

uint32_t routed_access(const bdf& address, uint32_t offset, uint32_t length, void* read_into,
                       const void* write_from) {
  // The packet holds 4096 data bytes: never copy more, whatever the caller asked.
  if (!fits_config_space(offset, length)) return 0;
  if (read_into == nullptr && write_from == nullptr) return 0;
  const bool reading = read_into != nullptr;
  const route target = choose_route(address);
  switch (target.kind) {
    case driver_kind::farrow:
      return send_farrow(target.handle,
                         reading ? PELLOR_IOCTL_FARROW_READ : PELLOR_IOCTL_FARROW_WRITE, offset,
                         length, read_into, write_from);
    case driver_kind::known_endpoint:
      return send_known_endpoint(target.handle,
                                 reading ? PELLOR_IOCTL_KEP_READ : PELLOR_IOCTL_KEP_WRITE,
                                 offset, length, read_into, write_from);
    case driver_kind::config_space:
      return send_config_space(target.handle,
                               reading ? PELLOR_IOCTL_CONFIG_READ : PELLOR_IOCTL_CONFIG_WRITE,
                               address, offset, length, read_into, write_from);
    case driver_kind::none:
      break;
  }
  return 0;
}

}  // namespace

uint32_t routed_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                     uint32_t length, void* buffer) {
  return routed_access(bdf{bus, device, function}, offset, length, buffer, nullptr);
}

uint32_t routed_write(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, const void* buffer) {
  return routed_access(bdf{bus, device, function}, offset, length, nullptr, buffer);
}

uint32_t checked_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, void* buffer) {
  // Callers rely on a cleared buffer after a failed read; the clear is bounded to what one
  // request can fill, so a wild length cannot overrun the caller's memory.
  if (buffer != nullptr && length <= PELLOR_CONFIG_SPACE_SIZE) std::memset(buffer, 0, length);
  if (!valid_bdf(bus, device, function) || !fits_config_space(offset, length) ||
      buffer == nullptr) {
    return 0;
  }
  return routed_read(bus, device, function, offset, length, buffer);
}

}  // namespace pellor
