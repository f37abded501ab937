// The configuration table's slots: open/close, window and MCFG requests, routed access.
#include <cstring>

#include "config_access.h"
#include "driver_request.h"
#include "lifecycle.h"
#include "state.h"
#include "tables.h"

namespace pellor {
namespace {

// Requests always go to the first configuration handle; invalid when none is open.
platform::device_handle config_handle() {
  return state.config != nullptr && state.config->opened > 0 ? state.config->handles[0]
                                                             : platform::invalid_handle;
}

uint32_t open_driver(uint32_t* driver_handle) {
  if (driver_handle != nullptr) *driver_handle = 0;
  return initialise() ? 1u : 0u;
}

uint32_t set_cfg_window(uint32_t, uint32_t base_low, uint32_t base_high, uint32_t length_low,
                        uint32_t length_high) {
  PELLOR_CONFIG_WINDOW_t packet{};
  packet.first = (static_cast<uint64_t>(base_high) << 32) | base_low;
  packet.second = (static_cast<uint64_t>(length_high) << 32) | length_low;
  return send_request(config_handle(), PELLOR_IOCTL_CONFIG_SET_WINDOW, &packet, sizeof packet,
                      0)
             ? 1u
             : 0u;
}

uint32_t query_mcfg(uint32_t, uint64_t* base_address, uint8_t* start_bus, uint8_t* end_bus,
                    uint64_t* window_length) {
  if (base_address != nullptr) *base_address = 0;
  if (start_bus != nullptr) *start_bus = 0;
  if (end_bus != nullptr) *end_bus = 0;
  if (window_length != nullptr) *window_length = 0;
  PELLOR_MCFG_PACKET_t packet{};
  if (!send_request(config_handle(), PELLOR_IOCTL_CONFIG_QUERY_MCFG, &packet, 0, sizeof packet)) {
    return 0;
  }
  if (base_address != nullptr) *base_address = packet.base_address;
  if (start_bus != nullptr) *start_bus = packet.start_bus;
  if (end_bus != nullptr) *end_bus = packet.end_bus;
  if (window_length != nullptr) *window_length = packet.window_length;
  return 1;
}

uint32_t get_cfg_window(uint32_t, uint64_t* first, uint64_t* second) {
  PELLOR_CONFIG_WINDOW_t packet{};
  if (!send_request(config_handle(), PELLOR_IOCTL_CONFIG_GET_WINDOW, &packet, 0, sizeof packet)) {
    return 0;
  }
  if (first != nullptr) *first = packet.first;
  if (second != nullptr) *second = packet.second;
  return 1;
}

uint32_t read_config(uint32_t, uint32_t bus, uint32_t device, uint32_t function,
                     uint32_t offset, uint32_t length, void* buffer) {
  return checked_read(bus, device, function, offset, length, buffer);
}

// Skips the BDF range checks and the clearing; the packet bound and a usable buffer are
// still required, since the copy would otherwise run past one or the other.
uint32_t read_config_no_check(uint32_t, uint32_t bus, uint32_t device, uint32_t function,
                              uint32_t offset, uint32_t length, void* buffer) {
  return routed_read(bus, device, function, offset, length, buffer);
}

uint32_t write_config(uint32_t, uint32_t bus, uint32_t device, uint32_t function,
                      uint32_t offset, uint32_t length, const void* buffer) {
  if (!valid_bdf(bus, device, function) || !fits_config_space(offset, length) ||
      buffer == nullptr) {
    return 0;
  }
  return routed_write(bus, device, function, offset, length, buffer);
}

void close_driver(uint32_t) { close(); }

uint32_t spare() { return 0; }

}  // namespace

void fill_config_table(CONFIG_DRIVER_INTERFACE_t& table) {
  table.OpenDriver = open_driver;
  table.SetCfgWindow = set_cfg_window;
  table.QueryMcfg = query_mcfg;
  table.GetCfgWindow = get_cfg_window;
  table.ReadConfig = read_config;
  table.ReadConfigNoCheck = read_config_no_check;
  table.WriteConfig = write_config;
  table.CloseDriver = close_driver;
  table.Spare8 = spare;
  table.Spare9 = spare;
}

}  // namespace pellor
