// Card control against a fake card table: card check, slots, arguments and results.
#include <gtest/gtest.h>

#include <cstring>

#include "device/device_record.h"
#include "fake_tables.h"
#include "startup/driver_state.h"
#include "trace/trace_copy.h"
#include "vexo.h"

namespace {

using vexo_test::bdf;
using vexo_test::card_request;

VEXO_DEVICE_HANDLE_t record_at(const bdf& where, uint8_t header_type = 0) {
  uint8_t config[vexo::config_copy_size] = {0x86, 0x80, 0x34, 0x12};
  config[0x0E] = header_type;
  VEXO_DEVICE_HANDLE_t handle = nullptr;
  EXPECT_EQ(vexo::make_device_record(static_cast<uint8_t>(where.bus),
                                     static_cast<uint8_t>(where.device),
                                     static_cast<uint8_t>(where.function), config, &handle),
            VEXO_STATUS_SUCCESS);
  return handle;
}

// Frees a record together with any trace copy it still owns.
void close_record(VEXO_DEVICE_HANDLE_t handle) {
  if (handle == nullptr) return;
  vexo::discard_trace_copy(*vexo::record_from_handle(handle));
  vexo::free_device_record(handle);
}

void give_trace(VEXO_DEVICE_HANDLE_t handle, uint32_t bytes) {
  auto* copy = static_cast<uint8_t*>(std::calloc(bytes, 1));
  vexo::adopt_trace_copy(*vexo::record_from_handle(handle), copy, bytes);
}

class CardControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    card = record_at(fake.card);
    dut = record_at({6, 0, 0});
  }
  void TearDown() override {
    close_record(card);
    close_record(dut);
  }
  vexo_test::fake_card fake;
  VEXO_DEVICE_HANDLE_t card = nullptr;
  VEXO_DEVICE_HANDLE_t dut = nullptr;
};

TEST_F(CardControlTest, EachCallSendsItsSlotWithTheCardAddressAndArgument) {
  fake.card = {4, 2, 1};
  close_record(card);
  card = record_at(fake.card);
  fake.mode = 7;
  fake.properties = 0xA5A5;
  fake.action_count = 42;
  VEXO_ZAM_OP_MODE_t mode = 99;
  vexo_zam_query_prop_t properties = 0;
  unsigned int actions = 0;
  EXPECT_EQ(ChangeZAMMode(card, 2), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(QueryZAMMode(card, &mode), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(VEXO_GetZAMProperties(card, &properties), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(VEXO_ZAM_GetActionCount(card, &actions), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(DisarmZAM(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(ArmZAM(card, 0x1234), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(ZAMSuspendLogging(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(ZAMResumeLogging(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(VEXO_ZAMWritePatternToTB(card, 0xBEEF), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(mode, 2u);  // the mode set just before
  EXPECT_EQ(properties, 0xA5A5u);
  EXPECT_EQ(actions, 42u);
  const bdf at{4, 2, 1};
  const std::vector<card_request> expected = {
      {"SetMode", at, 2},        {"GetMode", at, 0},    {"GetProperties", at, 0},
      {"GetActionCount", at, 0}, {"Disarm", at, 0},     {"Arm", at, 0},
      {"SuspendLogging", at, 0}, {"ResumeLogging", at, 0},
      {"WritePatternToTrace", at, 0xBEEF}};
  EXPECT_EQ(fake.requests, expected);
}

TEST_F(CardControlTest, ProgramZAMCmdSendsTheFortyEightBytesUnchanged) {
  vexo_cmd_map_t map{};
  map.command = VEXO_ZAM_CMD_DELAY_TLP;
  vexo_cmd_map_set_count(&map, 0xABC);
  map.match_value[0] = 0x4A;
  map.match_value[3] = 0x01;
  const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
  std::memcpy(map.match_mask, mask, 4);
  map.parameter = 0x01020304;
  map.parameter_byte = 0xFF;
  uint8_t expected[48] = {};
  expected[1] = 0x0C;
  expected[6] = 0x0A;
  expected[7] = 0xBC;
  expected[8] = 0x4A;
  expected[11] = 0x01;
  std::memcpy(expected + 24, mask, 4);
  expected[40] = 0x04, expected[41] = 0x03, expected[42] = 0x02, expected[43] = 0x01;
  expected[44] = 0xFF;
  ASSERT_EQ(std::memcmp(&map, expected, 48), 0);

  EXPECT_EQ(ProgramZAMCmd(card, &map), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(std::memcmp(fake.programmed.data(), expected, 48), 0);
  EXPECT_EQ(ProgramZAMCmd(card, nullptr), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(CardControlTest, ARecordThatIsNotACardIsRefusedWithoutContactingTheCard) {
  give_trace(dut, 16);
  VEXO_ZAM_OP_MODE_t mode = 0;
  vexo_cmd_map_t map{};
  EXPECT_EQ(ArmZAM(dut, 0), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(vexo::record_from_handle(dut)->trace_byte_count, 16u);  // left in place
  EXPECT_NE(vexo::record_from_handle(dut)->trace_buffer, nullptr);
  EXPECT_EQ(DisarmZAM(dut), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(QueryZAMMode(dut, &mode), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(ProgramZAMCmd(dut, &map), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(ZAMSuspendLogging(nullptr), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(SetConfigMaskTraceBuf(dut, 1), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(CardControlTest, ArmingFreesTheTraceEvenWhenTheCardRefuses) {
  give_trace(card, 64);
  fake.slot_result["Arm"] = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  EXPECT_EQ(ArmZAM(card, 0), VEXO_STATUS_INSUFFICIENT_RESOURCES);
  unsigned int count = 99;
  EXPECT_EQ(GetBytesInZAMTB(card, &count), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(vexo::record_from_handle(card)->trace_buffer, nullptr);
}

// The record owns its copy: closing it frees the copy and its TLP index (the leak checker of
// the sanitizer build catches a copy left behind).
TEST_F(CardControlTest, ClosingTheCardRecordFreesItsTraceCopy) {
  give_trace(card, 64);
  uint8_t header[16];
  VEXO_ZAM_TB_GetTLPByIndex(card, header, 0, 0);  // builds the index
  EXPECT_EQ(CloseDevice(card), VEXO_STATUS_SUCCESS);
  card = nullptr;
}

TEST_F(CardControlTest, RefusedRequestsPassTheirStatusThrough) {
  fake.result = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  VEXO_ZAM_OP_MODE_t mode = 5;
  EXPECT_EQ(QueryZAMMode(card, &mode), VEXO_STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(mode, 5u);
  EXPECT_EQ(ChangeZAMMode(card, 1), VEXO_STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(ZAMResumeLogging(card), VEXO_STATUS_INSUFFICIENT_RESOURCES);
}

TEST_F(CardControlTest, WithoutACardTableOrItsSlotCallsAreInvalid) {
  fake.table.Arm = nullptr;
  EXPECT_EQ(ArmZAM(card, 0), VEXO_STATUS_INVALID_PARAMETER);
  vexo::driver_state().card_table = nullptr;
  EXPECT_EQ(DisarmZAM(card), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(fake.requests.empty());
}

TEST_F(CardControlTest, SuspendThenResumeUsesTheTwoLoggingSlotsInOrder) {
  EXPECT_EQ(ZAMSuspendLogging(card), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(ZAMResumeLogging(card), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(fake.requests.size(), 2u);
  EXPECT_EQ(fake.requests[0].slot, "SuspendLogging");
  EXPECT_EQ(fake.requests[1].slot, "ResumeLogging");
}

TEST_F(CardControlTest, SetConfigMaskTraceBufChangesOnlyBits9To12) {
  fake.trace_config = 0xFFFF'E1FF;  // bits 9-12 clear, all others set
  EXPECT_EQ(SetConfigMaskTraceBuf(card, 0x18), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(fake.trace_config, 0xFFFF'E1FFu | (1u << 10));  // 0x10 then 0x08: bit 10 only
  fake.trace_config = 0;
  EXPECT_EQ(SetConfigMaskTraceBuf(card, 0x1531), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(fake.trace_config, (1u << 9) | (1u << 10) | (1u << 11) | (1u << 12));
  EXPECT_EQ(SetConfigMaskTraceBuf(card, 0x1524), VEXO_STATUS_SUCCESS);  // 0x04 clears 10-11
  EXPECT_EQ(fake.trace_config, (1u << 9) | (1u << 12));
  EXPECT_EQ(SetConfigMaskTraceBuf(card, 0x43), VEXO_STATUS_SUCCESS);  // set then clear bit 9
  EXPECT_EQ(fake.trace_config, 0u);

  fake.slot_result["GetTraceConfig"] = VEXO_STATUS_INSUFFICIENT_RESOURCES;
  fake.requests.clear();
  EXPECT_EQ(SetConfigMaskTraceBuf(card, 1), VEXO_STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(fake.requests.size(), 1u);  // nothing written after a failed read
}

TEST_F(CardControlTest, UpstreamZAMBelowARootPortGivesTwoNullOutputs) {
  VEXO_DEVICE_HANDLE_t found_card = card, found_port = card;
  fake.pair_found = false;
  EXPECT_EQ(VEXO_GetUpstreamZAM(dut, &found_card, &found_port), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(found_card, nullptr);
  EXPECT_EQ(found_port, nullptr);
  ASSERT_EQ(fake.requests.size(), 1u);
  EXPECT_EQ(fake.requests[0], (card_request{"FindUpstreamPair", {6, 0, 0}, 0}));
}

TEST_F(CardControlTest, UpstreamZAMMakesRecordsForTheCardAndItsPort) {
  fake.pair_found = true;
  fake.grandparent = fake.card;
  fake.parent = {5, 0, 0};
  fake.grandparent_config[0] = 0xAA;
  fake.parent_config[2] = 0xBB;
  VEXO_DEVICE_HANDLE_t found_card = nullptr, found_port = nullptr;
  ASSERT_EQ(VEXO_GetUpstreamZAM(dut, &found_card, &found_port), VEXO_STATUS_SUCCESS);
  const vexo::device_record& c = *vexo::record_from_handle(found_card);
  const vexo::device_record& p = *vexo::record_from_handle(found_port);
  EXPECT_EQ(c.bus, 4);
  EXPECT_EQ(c.is_card, 1u);
  EXPECT_EQ(c.vendor_id, 0xAA);
  EXPECT_EQ(p.bus, 5);
  EXPECT_EQ(p.is_card, 0u);
  EXPECT_EQ(p.device_id, 0xBB);
  // The port record is not a card record: arming it is refused.
  EXPECT_EQ(ArmZAM(found_port, 0), VEXO_STATUS_INVALID_PARAMETER);
  close_record(found_card);
  close_record(found_port);
}

class DownstreamKEPTest : public CardControlTest {
 protected:
  vexo_test::fake_config_space space;
};

TEST_F(DownstreamKEPTest, OnAnEndpointTheOutputIsLeftAlone) {
  space.add({6, 0, 0})[0x0E] = 0x80;  // multi-function endpoint
  VEXO_DEVICE_HANDLE_t kep = card;
  EXPECT_EQ(VEXO_GetDownstreamKEP(dut, 0, 0, &kep), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(kep, card);
}

TEST_F(DownstreamKEPTest, AKnownEndpointBelowABridgeIsReturned) {
  auto& bridge = space.add({6, 0, 0});
  bridge[0x0E] = 0x81;  // multi-function bridge: bit 7 is not part of the layout
  bridge[0x19] = 9;
  auto& endpoint = space.add({9, 1, 2});
  endpoint[0] = 0x34, endpoint[1] = 0x12;
  endpoint[100] = 0x77;  // beyond the 64 bytes a record keeps
  space.known_endpoints.push_back({9, 1, 2});
  VEXO_DEVICE_HANDLE_t kep = nullptr;
  ASSERT_EQ(VEXO_GetDownstreamKEP(dut, 1, 2, &kep), VEXO_STATUS_SUCCESS);
  const vexo::device_record& record = *vexo::record_from_handle(kep);
  EXPECT_EQ(record.bus, 9);
  EXPECT_EQ(record.device, 1);
  EXPECT_EQ(record.function, 2);
  EXPECT_EQ(record.vendor_id, 0x1234);
  EXPECT_EQ(record.config[100], 0);
  close_record(kep);

  // Present but not a known endpoint: null and refused. Absent: refused, untouched.
  space.add({9, 3, 0});
  kep = card;
  EXPECT_EQ(VEXO_GetDownstreamKEP(dut, 3, 0, &kep), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(kep, nullptr);
  kep = card;
  EXPECT_EQ(VEXO_GetDownstreamKEP(dut, 4, 0, &kep), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(kep, card);
  EXPECT_EQ(VEXO_GetDownstreamKEP(dut, 32, 0, &kep), VEXO_STATUS_INVALID_PARAMETER);
}

TEST(EntryPointTableTest, CardDeviceAndConfigurationWordsAreFilled) {
  VEXO_INTF_TABLE_t table;
  std::memset(&table, 0xEE, sizeof table);
  ASSERT_EQ(VEXOGetIntf(&table), VEXO_STATUS_SUCCESS);
  auto word = [&](VEXO_INTF_WORD_t w) { return table.word[w]; };
  auto address = [](auto* function) { return reinterpret_cast<uintptr_t>(function); };
  EXPECT_EQ(word(VEXO_INTF_VERSION), 0x00010001u);
  EXPECT_EQ(word(VEXO_INTF_CHANGE_ZAM_MODE), address(&ChangeZAMMode));
  EXPECT_EQ(word(VEXO_INTF_QUERY_ZAM_MODE), address(&QueryZAMMode));
  EXPECT_EQ(word(VEXO_INTF_PROGRAM_ZAM_CMD), address(&ProgramZAMCmd));
  EXPECT_EQ(word(VEXO_INTF_ARM_ZAM), address(&ArmZAM));
  EXPECT_EQ(word(VEXO_INTF_DISARM_ZAM), address(&DisarmZAM));
  EXPECT_EQ(word(VEXO_INTF_OPEN_DEVICE), address(&OpenDevice));
  EXPECT_EQ(word(VEXO_INTF_CLOSE_DEVICE), address(&CloseDevice));
  EXPECT_EQ(word(VEXO_INTF_READ_CONFIG_SPACE), address(&ReadConfigSpace));
  EXPECT_EQ(word(VEXO_INTF_WRITE_CONFIG_SPACE), address(&WriteConfigSpace));
  EXPECT_EQ(word(VEXO_INTF_SET_CONFIG_MASK_TRACE_BUF), address(&SetConfigMaskTraceBuf));
  VEXO_STATUS_t (*by_bdf)(unsigned char, unsigned char, unsigned char, VEXO_DEVICE_HANDLE_t*) =
      &FindDevice;
  VEXO_STATUS_t (*by_ids)(unsigned short, unsigned short, VEXO_DEVICE_HANDLE_t*) = &FindDevice;
  VEXO_STATUS_t (*by_info)(VEXO_HANDLE_t, VEXO_DEVICE_HANDLE_t*, unsigned int,
                           VEXO_DEVICE_FIND_INFO_t*) = &FindDevice;
  EXPECT_EQ(word(VEXO_INTF_FIND_DEVICE_BY_BDF), address(by_bdf));
  EXPECT_EQ(word(VEXO_INTF_FIND_DEVICE_BY_IDS), address(by_ids));
  EXPECT_EQ(word(VEXO_INTF_FIND_DEVICE_BY_INFO), address(by_info));
  EXPECT_EQ(word(VEXO_INTF_WRITE_DEVICE_STATUS_REG), address(&WriteDeviceStatusReg));
  EXPECT_EQ(table.word[10], 0u);
  EXPECT_EQ(table.word[11], 0u);
  EXPECT_EQ(table.word[19], 0u);
}

}  // namespace
