// Device records: IDs, configuration copy and the card flag from the card table.
#include "device/device_record.h"

#include <gtest/gtest.h>

#include "startup/driver_state.h"

namespace {

uint32_t only_card_at_2_0_1(uint32_t bus, uint32_t device, uint32_t function) {
  return bus == 2 && device == 0 && function == 1 ? 1 : 0;
}

class DeviceRecordTest : public ::testing::Test {
 protected:
  void TearDown() override { vexo::clear_driver_tables(); }

  VEXO_DEVICE_HANDLE_t make(uint8_t bus, uint8_t device, uint8_t function) {
    // As discovery does: 64 bytes read at offset 0 into a zeroed 256-byte buffer.
    uint8_t config[vexo::config_copy_size] = {};
    for (uint32_t i = 0; i < vexo::discovery_read_size; ++i) config[i] = static_cast<uint8_t>(i + 1);
    config[0] = 0x86;
    config[1] = 0x80;
    config[2] = 0xD3;
    config[3] = 0x10;
    VEXO_DEVICE_HANDLE_t handle = nullptr;
    EXPECT_EQ(vexo::make_device_record(bus, device, function, config, &handle),
              VEXO_STATUS_SUCCESS);
    return handle;
  }
};

TEST_F(DeviceRecordTest, FieldsComeFromTheDiscoveryBuffer) {
  VEXO_DEVICE_HANDLE_t handle = make(7, 31, 7);
  const vexo::device_record* record = vexo::record_from_handle(handle);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->bus, 7);
  EXPECT_EQ(record->device, 31);
  EXPECT_EQ(record->function, 7);
  EXPECT_EQ(record->vendor_id, 0x8086);
  EXPECT_EQ(record->device_id, 0x10D3);
  EXPECT_EQ(record->config[4], 5);
  EXPECT_EQ(record->config[63], 64);
  for (uint32_t i = vexo::discovery_read_size; i < vexo::config_copy_size; ++i) {
    EXPECT_EQ(record->config[i], 0) << i;
  }
  EXPECT_EQ(record->opened, 0u);
  EXPECT_EQ(record->parent, nullptr);
  EXPECT_EQ(record->trace_buffer, nullptr);
  EXPECT_EQ(record->link.next, nullptr);
  EXPECT_EQ(record->framework, nullptr);
  vexo::free_device_record(handle);
}

TEST_F(DeviceRecordTest, CardFlagFollowsTheCardTable) {
  // No card table bound: nothing is a card.
  VEXO_DEVICE_HANDLE_t card = make(2, 0, 1);
  EXPECT_EQ(vexo::record_from_handle(card)->is_card, 0u);
  vexo::free_device_record(card);

  // A card table without its query slot (no card found by the driver library).
  ZAM_LIB_INTERFACE_t table{};
  vexo::driver_state().card_table = &table;
  card = make(2, 0, 1);
  EXPECT_EQ(vexo::record_from_handle(card)->is_card, 0u);
  vexo::free_device_record(card);

  table.IsZamDevice = only_card_at_2_0_1;
  card = make(2, 0, 1);
  VEXO_DEVICE_HANDLE_t dut = make(3, 0, 0);
  EXPECT_EQ(vexo::record_from_handle(card)->is_card, 1u);
  EXPECT_EQ(vexo::record_from_handle(dut)->is_card, 0u);
  vexo::free_device_record(card);
  vexo::free_device_record(dut);
}

TEST(IntrusiveListTest, AppendLinksBehindTheSentinel) {
  vexo::item_list list;
  vexo::init_list(list);
  vexo::list_item first{}, second{};
  vexo::append_to_list(list, first);
  vexo::append_to_list(list, second);
  EXPECT_EQ(list.count, 2u);
  EXPECT_EQ(list.sentinel.next, &first);
  EXPECT_EQ(first.next, &second);
  EXPECT_EQ(second.next, &list.sentinel);
  EXPECT_EQ(list.sentinel.previous, &second);
  EXPECT_EQ(second.previous, &first);
  EXPECT_EQ(first.previous, &list.sentinel);
  EXPECT_EQ(first.owner, &list);
}

}  // namespace
