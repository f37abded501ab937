// Making device records: IDs from the discovery buffer, card flag from the card table.
#include "device/device_record.h"

#include <cstdlib>
#include <cstring>

#include "startup/driver_state.h"

namespace vexo {
namespace {

uint16_t little_endian_16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool card_table_reports_card(uint8_t bus, uint8_t device, uint8_t function) {
  const ZAM_LIB_INTERFACE_t* card_table = driver_state().card_table;
  if (card_table == nullptr || card_table->IsZamDevice == nullptr) return false;
  return card_table->IsZamDevice(bus, device, function) == 1;
}

}  // namespace

VEXO_STATUS_t make_device_record(uint8_t bus, uint8_t device, uint8_t function,
                                 const uint8_t (&config)[config_copy_size],
                                 VEXO_DEVICE_HANDLE_t* handle) {
  // calloc: the record is plain data shared with C-style callers, allocated zeroed.
  auto* record = static_cast<device_record*>(std::calloc(1, sizeof(device_record)));
  *handle = record;
  if (record == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  record->bus = bus;
  record->device = device;
  record->function = function;
  record->vendor_id = little_endian_16(&config[0]);
  record->device_id = little_endian_16(&config[2]);
  std::memcpy(record->config, config, config_copy_size);
  record->is_card = card_table_reports_card(bus, device, function) ? 1 : 0;
  return VEXO_STATUS_SUCCESS;
}

void free_device_record(VEXO_DEVICE_HANDLE_t handle) {
  if (handle == nullptr) return;
  delete record_from_handle(handle)->tlp_positions;
  std::free(handle);
}

}  // namespace vexo
