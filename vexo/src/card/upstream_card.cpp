// Finding the card above a device under test, and a known endpoint below a bridge.
#include <cstring>

#include "caps/pci_registers.h"
#include "card/card_access.h"
#include "config/config_access.h"
#include "vexo.h"

namespace {

// The bridge's header up to and including its secondary bus number (offset 0x19).
constexpr uint32_t bridge_header_read_size = 28;

}  // namespace

VEXO_API VEXO_STATUS_t VEXO_GetUpstreamZAM(VEXO_DEVICE_HANDLE_t dut, VEXO_DEVICE_HANDLE_t* card,
                                           VEXO_DEVICE_HANDLE_t* card_port) {
  if (card == nullptr || card_port == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  *card = nullptr;
  *card_port = nullptr;
  if (dut == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const ZAM_FIND_UPSTREAM_PAIR_t find_pair = vexo::card_slot(&ZAM_LIB_INTERFACE_t::FindUpstreamPair);
  if (find_pair == nullptr) return VEXO_STATUS_INVALID_PARAMETER;

  const vexo::device_record& record = *vexo::record_from_handle(dut);
  uint32_t card_bdf[3] = {0, 0, 0};
  uint32_t port_bdf[3] = {0, 0, 0};
  uint8_t card_config[vexo::config_copy_size] = {};
  uint8_t port_config[vexo::config_copy_size] = {};
  const VEXO_STATUS_t status =
      find_pair(record.bus, record.device, record.function, &card_bdf[0], &card_bdf[1],
                &card_bdf[2], card_config, &port_bdf[0], &port_bdf[1], &port_bdf[2], port_config);
  if (status != VEXO_STATUS_SUCCESS) return status;

  VEXO_DEVICE_HANDLE_t found_card = nullptr;
  VEXO_DEVICE_HANDLE_t found_port = nullptr;
  VEXO_STATUS_t made = vexo::make_device_record(static_cast<uint8_t>(card_bdf[0]),
                                                static_cast<uint8_t>(card_bdf[1]),
                                                static_cast<uint8_t>(card_bdf[2]), card_config,
                                                &found_card);
  if (made == VEXO_STATUS_SUCCESS) {
    made = vexo::make_device_record(static_cast<uint8_t>(port_bdf[0]),
                                    static_cast<uint8_t>(port_bdf[1]),
                                    static_cast<uint8_t>(port_bdf[2]), port_config, &found_port);
  }
  if (made != VEXO_STATUS_SUCCESS) {
    // Half a pair is of no use to the caller; hand out both or neither.
    vexo::free_device_record(found_card);
    return made;
  }
  *card = found_card;
  *card_port = found_port;
  return status;
}

VEXO_API VEXO_STATUS_t VEXO_GetDownstreamKEP(VEXO_DEVICE_HANDLE_t bridge, unsigned int device,
                                             unsigned int function, VEXO_DEVICE_HANDLE_t* kep) {
  if (bridge == nullptr || kep == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  uint8_t header[bridge_header_read_size] = {};
  uint32_t length = sizeof header;
  if (vexo::read_device_config(bridge, header, 0, &length) != VEXO_STATUS_SUCCESS ||
      (header[vexo::reg::header_type] & vexo::reg::header_type_layout_mask) !=
          vexo::reg::header_type_bridge) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  const uint8_t secondary_bus = header[vexo::reg::secondary_bus];
  // Device and function numbers beyond the ranges of a PCI function do not exist.
  if (device >= 32 || function >= 8) return VEXO_STATUS_INVALID_PARAMETER;
  uint8_t config[vexo::config_copy_size] = {};
  if (vexo::read_config(secondary_bus, device, function, 0, vexo::discovery_read_size, config) !=
      vexo::discovery_read_size) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  VEXO_DEVICE_HANDLE_t found = nullptr;
  const VEXO_STATUS_t made =
      vexo::make_device_record(secondary_bus, static_cast<uint8_t>(device),
                               static_cast<uint8_t>(function), config, &found);
  if (made != VEXO_STATUS_SUCCESS) return made;
  const KEP_LIB_INTERFACE_t* kep_table = vexo::driver_state().kep_table;
  if (kep_table != nullptr && kep_table->IsKepDevice != nullptr &&
      kep_table->IsKepDevice(secondary_bus, device, function) == 1) {
    *kep = found;
    return VEXO_STATUS_SUCCESS;
  }
  vexo::free_device_record(found);
  *kep = nullptr;
  return VEXO_STATUS_INVALID_PARAMETER;
}
