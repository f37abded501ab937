// Tests of request decoding, routing, byte enables and completions of the packet handler.
#include "lattix/packet_handler.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/status.h"

namespace {

constexpr uint16_t kRequester = 0x0100;
constexpr uint8_t kTag = 0x2A;

std::vector<uint32_t> request(uint8_t formatAndType, uint8_t busNumber, uint8_t dev, uint8_t fn,
                              uint16_t offset, uint8_t byteEnables = 0xF, uint32_t wireData = 0) {
  std::vector<uint32_t> words = {
      static_cast<uint32_t>(formatAndType) << 24 | 1u,
      static_cast<uint32_t>(kRequester) << 16 | static_cast<uint32_t>(kTag) << 8 | byteEnables,
      static_cast<uint32_t>(busNumber) << 24 | static_cast<uint32_t>(dev) << 19 |
          static_cast<uint32_t>(fn) << 16 | offset};
  if (formatAndType & 0x40) words.push_back(wireData);
  return words;
}

struct completion {
  std::unique_ptr<uint32_t[], void (*)(uint32_t*)> words{nullptr, releaseCompletion};
  bool present() const { return words != nullptr; }
  uint32_t status() const { return (words[1] >> 13) & 7; }
};

completion send(packetHandler& handler, const std::vector<uint32_t>& words) {
  completion c;
  c.words.reset(handler.handle(words.data()));
  return c;
}

// Root bus: an endpoint at slot 0 (vendor 0x1234) and a bridge at slot 1 with secondary
// bus 1 and subordinate 3. Below the bridge: a bridge at slot 0 (secondary 2, subordinate
// 3) and an endpoint at slot 2; below that bridge an endpoint at slot 4.
class PacketHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rootEndpoint.setVendorID(0, 0x1234);
    upper.statusWrite1(0, 0x19, 1);
    upper.statusWrite1(0, 0x1A, 3);
    lower.statusWrite1(0, 0x19, 2);
    lower.statusWrite1(0, 0x1A, 3);
    middleEndpoint.setVendorID(0, 0x5678);
    deepEndpoint.setVendorID(0, 0x9ABC);
    deepBus.setDevice(4, &deepEndpoint);
    lower.setDownstreamBus(0, &deepBus);
    middleBus.setDevice(0, &lower);
    middleBus.setDevice(2, &middleEndpoint);
    upper.setDownstreamBus(0, &middleBus);
    root.setDevice(0, &rootEndpoint);
    root.setDevice(1, &upper);
  }

  endPoint rootEndpoint, middleEndpoint, deepEndpoint;
  bridge upper, lower;
  bus root, middleBus, deepBus;
  packetHandler handler{&root};
};

TEST_F(PacketHandlerTest, ReadOfEmptySlotGivesUnsupportedRequest) {
  completion c = send(handler, request(LX_TLP_CFG_RD0, 0, 7, 0, 0));
  ASSERT_TRUE(c.present());
  EXPECT_EQ(c.words[0], LX_TLP_CPL);
  EXPECT_EQ(c.words[1], (7u << 3) << 16 | 1u << 13 | 4u);
  EXPECT_EQ(c.words[2], static_cast<uint32_t>(kRequester) << 16 | kTag << 8);
  EXPECT_EQ(handler.getStatus(), lattix_status::noDevice);
  EXPECT_EQ(handler.getRequestHandler()->getStatus(), lattix_status::noDevice);
}

TEST_F(PacketHandlerTest, ReadReturnsDataInWireOrder) {
  completion c = send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0));
  ASSERT_TRUE(c.present());
  EXPECT_EQ(c.words[0], LX_TLP_CPLD);
  EXPECT_EQ(c.words[1], 4u);  // completer 0:0.0, successful, byte count 4
  EXPECT_EQ(c.words[2], static_cast<uint32_t>(kRequester) << 16 | kTag << 8);
  // Vendor ID 0x1234, device ID 0: configuration bytes 34 12 00 00.
  EXPECT_EQ(c.words[3], 0x34120000u);
  EXPECT_EQ(handler.getStatus(), lattix_status::ok);
}

TEST_F(PacketHandlerTest, RespondToWrongDeviceAnswersEmptySlotsWithStatus2) {
  rootEndpoint.setRTWD(true);
  completion c = send(handler, request(LX_TLP_CFG_RD0, 0, 9, 0, 0));
  ASSERT_TRUE(c.present());
  EXPECT_EQ(c.words[0], LX_TLP_CPLD);
  EXPECT_EQ(c.status(), LX_CPL_STATUS_SC);
  EXPECT_EQ(c.words[1] >> 16, 9u << 3);  // completer ID is the requested one
  EXPECT_EQ(c.words[3], 0x34120000u);
  EXPECT_EQ(handler.getStatus(), lattix_status::answeredForOtherDevice);
  EXPECT_EQ(rootEndpoint.getStatus(), lattix_status::answeredForOtherDevice);
  // Its own slot still answers with status 0; a bridge never answers for others.
  send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0));
  EXPECT_EQ(rootEndpoint.getStatus(), lattix_status::ok);
  rootEndpoint.setRTWD(false);
  upper.setRTWD(true);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 9, 0, 0)).status(), LX_CPL_STATUS_UR);
}

TEST_F(PacketHandlerTest, Type1RoutingInAndOutOfRange) {
  // Bus 1 is the upper bridge's secondary bus: converted to Type 0 there.
  completion middle = send(handler, request(LX_TLP_CFG_RD1, 1, 2, 0, 0));
  ASSERT_TRUE(middle.present());
  EXPECT_EQ(middle.words[3], 0x78560000u);
  // Bus 2 goes on through the lower bridge.
  completion deep = send(handler, request(LX_TLP_CFG_RD1, 2, 4, 0, 0));
  ASSERT_TRUE(deep.present());
  EXPECT_EQ(deep.words[3], 0xBC9A0000u);
  // Bus 3 is claimed by both bridges but nobody has it as secondary: no device.
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD1, 3, 0, 0, 0)).status(), LX_CPL_STATUS_UR);
  EXPECT_EQ(handler.getStatus(), lattix_status::noDevice);
  // Bus 4 is outside every range.
  completion outside = send(handler, request(LX_TLP_CFG_RD1, 4, 0, 0, 0));
  ASSERT_TRUE(outside.present());
  EXPECT_EQ(outside.words[0], LX_TLP_CPL);
  EXPECT_EQ(outside.status(), LX_CPL_STATUS_UR);
  // Type 0 is answered on the root bus whatever its bus number.
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 200, 0, 0, 0)).words[3], 0x34120000u);
}

TEST_F(PacketHandlerTest, WriteWithByteEnables5WritesBytes0And2) {
  completion c = send(handler, request(LX_TLP_CFG_WR1, 1, 2, 0, 0x60, 0x5, 0xAABBCCDD));
  ASSERT_TRUE(c.present());
  EXPECT_EQ(c.words[0], LX_TLP_CPL);
  EXPECT_EQ(c.words[1], (1u << 8 | 2u << 3) << 16 | 4u);
  EXPECT_EQ(middleEndpoint.read4(0, 0x60), 0x00CC00AAu);
  // A write records the address the request used; a read does not.
  EXPECT_EQ(middleEndpoint.GetBusNum(), 1u);
  EXPECT_EQ(middleEndpoint.GetDevNum(), 2u);
  send(handler, request(LX_TLP_CFG_RD1, 2, 4, 0, 0));
  EXPECT_EQ(deepEndpoint.GetBusNum(), 0u);
  // All four bytes, through the write masks: byte 0x3D (interrupt pin) is read-only.
  send(handler, request(LX_TLP_CFG_WR0, 0, 0, 0, 0x3C, 0xF, 0x11223344));
  EXPECT_EQ(rootEndpoint.read2(0, 0x3C), 0x0011u);
  // Byte enables 0 write nothing.
  send(handler, request(LX_TLP_CFG_WR0, 0, 0, 0, 0x60, 0x0, 0xFFFFFFFF));
  EXPECT_EQ(rootEndpoint.read4(0, 0x60), 0u);
}

TEST_F(PacketHandlerTest, ReadWithByteEnablesReturnsOnlyEnabledBytes) {
  rootEndpoint.statusWrite4(0, 0x60, 0x44332211);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0x60, 0x2)).words[3], 0x00220000u);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0x60, 0xF)).words[3], 0x11223344u);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0x60, 0x9)).words[3], 0x11000044u);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0x60, 0xE)).words[3], 0x00223344u);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0x60, 0x0)).words[3], 0u);
}

TEST_F(PacketHandlerTest, EveryByteEnableValueWritesExactlyItsBytes) {
  for (uint8_t enables = 0; enables < 16; ++enables) {
    rootEndpoint.statusWrite4(0, 0x60, 0);
    send(handler, request(LX_TLP_CFG_WR0, 0, 0, 0, 0x60, enables, 0xA1B2C3D4));
    uint32_t expected = 0;
    const uint8_t wireBytes[4] = {0xA1, 0xB2, 0xC3, 0xD4};
    for (int b = 0; b < 4; ++b)
      if (enables & (1 << b)) expected |= static_cast<uint32_t>(wireBytes[b]) << (8 * b);
    EXPECT_EQ(rootEndpoint.read4(0, 0x60), expected) << "byte enables " << int(enables);
  }
}

TEST_F(PacketHandlerTest, BadRequestsAndMissingTargets) {
  completion unknown = send(handler, request(0x00, 0, 0, 0, 0));
  ASSERT_TRUE(unknown.present());
  EXPECT_EQ(unknown.words[0], LX_TLP_CPL);
  EXPECT_EQ(unknown.status(), LX_CPL_STATUS_UR);
  EXPECT_EQ(handler.getStatus(), lattix_status::badRequest);
  // A memory read is not a configuration request either.
  EXPECT_EQ(send(handler, request(0x20, 0, 0, 0, 0)).status(), LX_CPL_STATUS_UR);

  completion noFunction = send(handler, request(LX_TLP_CFG_RD0, 0, 0, 3, 0));
  EXPECT_EQ(noFunction.status(), LX_CPL_STATUS_UR);
  EXPECT_EQ(noFunction.words[0], LX_TLP_CPL);
  EXPECT_EQ(handler.getStatus(), lattix_status::noFunction);

  rootEndpoint.SetNoResponse(0, true);
  EXPECT_FALSE(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0)).present());
  EXPECT_FALSE(send(handler, request(LX_TLP_CFG_WR0, 0, 0, 0, 0x3C, 0xF, 0x55)).present());
  EXPECT_EQ(handler.getStatus(), lattix_status::noResponse);
  EXPECT_EQ(rootEndpoint.read1(0, 0x3C), 0u);

  EXPECT_EQ(handler.handle(nullptr), nullptr);
  EXPECT_EQ(handler.getStatus(), lattix_status::badRequest);
}

TEST(PacketHandlerRoutingTest, BridgesThatLoopEndInUnsupportedRequest) {
  // A hand-built bus that holds the bridge below itself: bus 3 is always claimed and
  // never reached as a secondary bus.
  bridge loop;
  loop.statusWrite1(0, 0x19, 1);
  loop.statusWrite1(0, 0x1A, 5);
  bus root;
  root.setDevice(0, &loop);
  loop.setDownstreamBus(0, &root);
  packetHandler handler(&root);
  completion c = send(handler, request(LX_TLP_CFG_RD1, 3, 0, 0, 0));
  ASSERT_TRUE(c.present());
  EXPECT_EQ(c.status(), LX_CPL_STATUS_UR);
}

TEST(PacketHandlerRoutingTest, HandlerWithoutBusAnswersUnsupportedRequest) {
  packetHandler handler(nullptr);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD0, 0, 0, 0, 0)).status(), LX_CPL_STATUS_UR);
  EXPECT_EQ(send(handler, request(LX_TLP_CFG_RD1, 1, 0, 0, 0)).status(), LX_CPL_STATUS_UR);
}

}  // namespace
