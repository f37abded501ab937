// Card table: record lookup, command packets byte for byte, the trace read packet.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "allocation.h"
#include "pellor_fixture.h"

namespace pellor::test {
namespace {

using fake::card_identity;

class PellorCardTest : public PellorFixture {
 protected:
  void SetUp() override {
    PellorFixture::SetUp();
    drivers.add_config_driver();
    endpoint_card = drivers.add_card(card_identity({3, 0, 0}, PELLOR_PORT_TYPE_ENDPOINT, 0));
    port_card = drivers.add_card(card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 2));
    later_card = drivers.add_card(card_identity({6, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 2));
    start();
    drivers.clear_requests();
  }

  // The one command packet sent since the last check.
  std::vector<uint8_t> sent_command() {
    const auto requests = drivers.requests();
    drivers.clear_requests();
    EXPECT_EQ(requests.size(), 1u);
    if (requests.size() != 1) return {};
    EXPECT_EQ(requests[0].path, port_card);
    EXPECT_EQ(requests[0].code, 0x222404u);
    EXPECT_EQ(requests[0].out_capacity, 56u);
    EXPECT_EQ(requests[0].in.size(), 56u);
    return requests[0].in;
  }

  std::string endpoint_card, port_card, later_card;
};

TEST_F(PellorCardTest, EachSlotSendsItsCommandWordAndArgument) {
  ZAM_LIB_INTERFACE_t& card = card_table();
  drivers.set_card_answer(0x00C0FFEE);
  struct expectation {
    const char* name;
    uint32_t status;
    uint32_t command;
    uint32_t argument;
  };
  uint32_t out = 0;
  const auto check = [&](const expectation& e) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.status, 0u);
    const auto packet = sent_command();
    EXPECT_EQ(word_at(packet, 0), e.command);
    EXPECT_EQ(word_at(packet, 4), e.argument);
    for (size_t i = 8; i < packet.size(); ++i) EXPECT_EQ(packet[i], 0) << "byte " << i;
  };
  check({"GetTraceConfig", card.GetTraceConfig(1, 0, 0, &out), 2, 0});
  EXPECT_EQ(out, 0x00C0FFEEu);
  check({"SetTraceConfig", card.SetTraceConfig(1, 0, 0, 0xABCD), 1, 0xABCD});
  out = 0;
  check({"GetTraceByteCount", card.GetTraceByteCount(1, 0, 0, &out), 8, 0});
  EXPECT_EQ(out, 0x00C0FFEEu);
  check({"GetProperties", card.GetProperties(1, 0, 0, &out), 5, 0});
  check({"Command3", card.Command3(1, 0, 0), 3, 0});
  check({"Disarm", card.Disarm(1, 0, 0), 11, 0});
  check({"GetActionCount", card.GetActionCount(1, 0, 0, &out), 15, 0});
  check({"Arm", card.Arm(1, 0, 0), 10, 0});
  check({"SetMode", card.SetMode(1, 0, 0, 3), 13, 3});
  out = 0;
  check({"GetMode", card.GetMode(1, 0, 0, &out), 14, 0});
  EXPECT_EQ(out, 0x00C0FFEEu);
  check({"SuspendLogging", card.SuspendLogging(1, 0, 0), 6, 1});
  check({"ResumeLogging", card.ResumeLogging(1, 0, 0), 6, 0});

  uint8_t map[PELLOR_COMMAND_MAP_SIZE];
  std::iota(map, map + sizeof map, uint8_t{1});
  ASSERT_EQ(card.ProgramCommand(1, 0, 0, map), 0u);
  const auto packet = sent_command();
  ASSERT_EQ(packet.size(), 56u);
  EXPECT_EQ(word_at(packet, 0), 12u);
  EXPECT_EQ(std::memcmp(packet.data() + 4, map, sizeof map), 0);
  EXPECT_EQ(word_at(packet, 52), 0u);
}

TEST_F(PellorCardTest, LookupTakesThePortOrAnyFunctionBehindIt) {
  ZAM_LIB_INTERFACE_t& card = card_table();
  EXPECT_EQ(card.Arm(2, 5, 1), 0u);  // a function on the bus behind the port at 1:0.0
  sent_command();                      // checks it reached the first matching port record
  EXPECT_EQ(card.Arm(1, 0, 0), 0u);
  sent_command();
  EXPECT_TRUE(drivers.requests_to(later_card).empty());

  // An endpoint card is no Farrow port; unknown BDFs match nothing.
  EXPECT_EQ(card.Arm(3, 0, 0), PELLOR_CARD_FAILED);
  EXPECT_EQ(card.Arm(4, 0, 0), PELLOR_CARD_FAILED);
  uint32_t count = 16;
  uint8_t trace[16];
  EXPECT_EQ(card.ReadTrace(4, 0, 0, &count, trace), PELLOR_CARD_FAILED);
  EXPECT_TRUE(drivers.requests().empty());
  // IsZamDevice matches the BDF alone, any port type, not the bus behind a port.
  EXPECT_EQ(card.IsZamDevice(3, 0, 0), 1u);
  EXPECT_EQ(card.IsZamDevice(2, 5, 1), 0u);
}

TEST_F(PellorCardTest, RefusedCommandsAndMissingOutputsFail) {
  ZAM_LIB_INTERFACE_t& card = card_table();
  uint32_t out = 5;
  EXPECT_EQ(card.GetMode(1, 0, 0, nullptr), PELLOR_CARD_FAILED);
  EXPECT_EQ(card.ProgramCommand(1, 0, 0, nullptr), PELLOR_CARD_FAILED);
  EXPECT_EQ(card.ReadTrace(1, 0, 0, nullptr, &out), PELLOR_CARD_FAILED);
  EXPECT_TRUE(drivers.requests().empty());

  faults->fail_requests(port_card, PELLOR_IOCTL_CARD_COMMAND, platform::error::gen_failure);
  EXPECT_EQ(card.Arm(1, 0, 0), PELLOR_CARD_FAILED);
  EXPECT_EQ(card.GetMode(1, 0, 0, &out), PELLOR_CARD_FAILED);
  EXPECT_EQ(out, 5u);
}

TEST_F(PellorCardTest, WritePatternToTraceSendsNothing) {
  EXPECT_EQ(card_table().WritePatternToTrace(1, 0, 0, 0x12345678), 0u);
  EXPECT_EQ(card_table().WritePatternToTrace(9, 9, 9, 0), 0u);
  EXPECT_TRUE(drivers.requests().empty());
}

TEST_F(PellorCardTest, TraceReadPacketByteForByte) {
  std::vector<uint8_t> trace(20);
  std::iota(trace.begin(), trace.end(), uint8_t{0x80});
  drivers.set_trace(trace);
  uint8_t destination[12];
  std::memset(destination, 0xEE, sizeof destination);
  uint32_t count = 10;
  ASSERT_EQ(card_table().ReadTrace(2, 0, 0, &count, destination), 0u);
  EXPECT_EQ(count, 10u);
  EXPECT_EQ(std::memcmp(destination, trace.data(), 10), 0);
  EXPECT_EQ(destination[10], 0xEE);

  const auto requests = drivers.requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& sent = requests[0];
  EXPECT_EQ(sent.code, 0x222404u);
  ASSERT_EQ(sent.in.size(), 66u);
  EXPECT_EQ(sent.out_capacity, 66u);
  std::vector<uint8_t> expected(66, 0);
  expected[0] = 7;
  expected[8] = 10;  // 64-bit count at 8
  EXPECT_EQ(sent.in, expected);
}

TEST_F(PellorCardTest, TraceReadNeverCopiesMoreThanAsked) {
  drivers.set_trace(std::vector<uint8_t>(64, 0x55));
  // The driver claims far more than it was asked for.
  faults->rewrite_answer(port_card, PELLOR_IOCTL_CARD_COMMAND, 8, 4000);
  uint8_t destination[9];
  std::memset(destination, 0xEE, sizeof destination);
  uint32_t count = 8;
  ASSERT_EQ(card_table().ReadTrace(1, 0, 0, &count, destination), 0u);
  EXPECT_EQ(count, 8u);
  EXPECT_EQ(destination[7], 0x55);
  EXPECT_EQ(destination[8], 0xEE);
}

TEST_F(PellorCardTest, TraceReadShortDeliveryAndFailedAllocation) {
  drivers.set_trace(std::vector<uint8_t>(3, 0x11));
  uint8_t destination[8] = {};
  uint32_t count = 8;
  ASSERT_EQ(card_table().ReadTrace(1, 0, 0, &count, destination), 0u);
  EXPECT_EQ(count, 3u);
  drivers.clear_requests();

  allocation::fail_after(0);
  count = 8;
  EXPECT_EQ(card_table().ReadTrace(1, 0, 0, &count, destination), PELLOR_CARD_FAILED);
  allocation::allow_all();
  EXPECT_EQ(count, 8u);
  EXPECT_TRUE(drivers.requests().empty());
}

}  // namespace
}  // namespace pellor::test
