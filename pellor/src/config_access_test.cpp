// Configuration table: argument checks, routing, packets byte for byte, window and MCFG.
#include <gtest/gtest.h>

#include <cstring>

#include "pellor_fixture.h"

namespace pellor::test {
namespace {

class PellorConfigTest : public PellorFixture {
 protected:
  void SetUp() override {
    PellorFixture::SetUp();
    config_path = drivers.add_config_driver();
    farrow_path = drivers.add_farrow_port({2, 0, 0});
    kep_path = drivers.add_known_endpoint({2, 0, 0});  // same BDF as the Farrow port
    space->add_function({1, 2, 3}, 0x10EE, 0x7021);
    space->add_function({2, 0, 0}, 0x1AB4, 0x0F00);
    start();
    table = config_table();
    drivers.clear_requests();
  }

  std::string config_path, farrow_path, kep_path;
  CONFIG_DRIVER_INTERFACE_t table{};
};

TEST_F(PellorConfigTest, ReadSendsTheConfigurationPacketByteForByte) {
  space->bytes({1, 2, 3})[0x10] = 0x5A;
  uint8_t buffer[8];
  std::memset(buffer, 0xCC, sizeof buffer);
  ASSERT_EQ(table.ReadConfig(0, 1, 2, 3, 0x10, 8, buffer), 8u);
  EXPECT_EQ(buffer[0], 0x5A);
  EXPECT_EQ(buffer[1], 0x00);

  const auto requests = drivers.requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& sent = requests[0];
  EXPECT_EQ(sent.path, config_path);
  EXPECT_EQ(sent.code, 0x222000u);
  ASSERT_EQ(sent.in.size(), 4116u);
  EXPECT_EQ(sent.out_capacity, 4116u);
  EXPECT_EQ(word_at(sent.in, 0), 1u);
  EXPECT_EQ(word_at(sent.in, 4), 2u);
  EXPECT_EQ(word_at(sent.in, 8), 3u);
  EXPECT_EQ(word_at(sent.in, 12), 0x10u);
  EXPECT_EQ(word_at(sent.in, 16), 8u);

  const uint8_t value[4] = {0x06, 0x01, 0x10, 0x00};
  ASSERT_EQ(table.WriteConfig(0, 1, 2, 3, 4, 4, value), 4u);
  const auto write = drivers.requests().back();
  EXPECT_EQ(write.code, 0x222004u);
  ASSERT_EQ(write.in.size(), 4116u);
  EXPECT_EQ(word_at(write.in, 12), 4u);
  EXPECT_EQ(word_at(write.in, 16), 4u);
  EXPECT_EQ(std::memcmp(write.in.data() + 20, value, 4), 0);
  EXPECT_EQ(std::memcmp(space->bytes({1, 2, 3}).data() + 4, value, 4), 0);
}

TEST_F(PellorConfigTest, ArgumentChecksRefuseWithoutARequest) {
  uint8_t buffer[8];
  struct bad_read {
    uint32_t bus, device, function, offset, length;
  };
  const bad_read cases[] = {
      {256, 0, 0, 0, 4}, {0, 32, 0, 0, 4}, {0, 0, 8, 0, 4}, {0, 0, 0, 4093, 4},
      {0, 0, 0, 0xFFFFFFFFu, 2},  // would wrap around in 32 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bus << ":" << c.device << "." << c.function << " @"
                                    << c.offset);
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(table.ReadConfig(0, c.bus, c.device, c.function, c.offset, c.length, buffer), 0u);
    for (uint32_t i = 0; i < c.length; ++i) EXPECT_EQ(buffer[i], 0) << "cleared byte " << i;
    EXPECT_EQ(table.WriteConfig(0, c.bus, c.device, c.function, c.offset, c.length, buffer), 0u);
  }
  EXPECT_EQ(table.ReadConfig(0, 0, 0, 0, 0, 4, nullptr), 0u);
  EXPECT_EQ(table.WriteConfig(0, 0, 0, 0, 0, 4, nullptr), 0u);
  // A length beyond one request is refused and the caller's memory is not cleared past it.
  std::memset(buffer, 0xCC, sizeof buffer);
  EXPECT_EQ(table.ReadConfig(0, 0, 0, 0, 0, 0xFFFFFFFFu, buffer), 0u);
  EXPECT_EQ(buffer[0], 0xCC);
  EXPECT_EQ(table.ReadConfigNoCheck(0, 0, 0, 0, 1, 4096, buffer), 0u);
  EXPECT_TRUE(drivers.requests().empty());
}

TEST_F(PellorConfigTest, NoCheckReadSkipsRangeChecksAndClearing) {
  uint8_t buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  // The driver sees bus 300 as asked; it reads all ones for a function that is absent.
  EXPECT_EQ(table.ReadConfigNoCheck(0, 300, 0, 0, 0, 4, buffer), 4u);
  ASSERT_EQ(drivers.requests().size(), 1u);
  EXPECT_EQ(word_at(drivers.requests()[0].in, 0), 300u);
  EXPECT_EQ(buffer[0], 0xFF);

  faults->fail_requests(config_path, PELLOR_IOCTL_CONFIG_READ, platform::error::gen_failure);
  std::memset(buffer, 0xCC, sizeof buffer);
  EXPECT_EQ(table.ReadConfigNoCheck(0, 1, 2, 3, 0, 4, buffer), 0u);
  EXPECT_EQ(buffer[0], 0xCC);
  EXPECT_EQ(table.ReadConfig(0, 1, 2, 3, 0, 4, buffer), 0u);
  EXPECT_EQ(buffer[0], 0x00);
}

TEST_F(PellorConfigTest, FarrowPortWinsOverKnownEndpointWithItsOwnPacket) {
  uint8_t buffer[4] = {};
  ASSERT_EQ(table.ReadConfig(0, 2, 0, 0, 0, 4, buffer), 4u);
  EXPECT_EQ(buffer[0], 0xB4);
  EXPECT_EQ(buffer[1], 0x1A);
  const uint8_t value[2] = {0x07, 0x00};
  ASSERT_EQ(table.WriteConfig(0, 2, 0, 0, 0x04, 2, value), 2u);

  const auto requests = drivers.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, farrow_path);
  EXPECT_EQ(requests[0].code, 0x222408u);
  ASSERT_EQ(requests[0].in.size(), 4104u);
  EXPECT_EQ(requests[0].out_capacity, 4104u);
  EXPECT_EQ(word_at(requests[0].in, 0), 0u);  // offset first
  EXPECT_EQ(word_at(requests[0].in, 4), 4u);  // then length
  EXPECT_EQ(requests[1].code, 0x22240Cu);
  EXPECT_EQ(word_at(requests[1].in, 0), 4u);
  EXPECT_EQ(word_at(requests[1].in, 4), 2u);
  EXPECT_EQ(requests[1].in[8], 0x07);
  EXPECT_TRUE(drivers.requests_to(kep_path).empty());
}

TEST_F(PellorConfigTest, KnownEndpointGetsItsDataFirstPacket) {
  drivers.clear_requests();
  stop();
  // Without the Farrow port the known endpoint serves 2:0.0.
  faults->hide_family(platform::driver_class::farrow_port);
  start();
  table = config_table();
  drivers.clear_requests();

  uint8_t buffer[2] = {};
  ASSERT_EQ(table.ReadConfig(0, 2, 0, 0, 2, 2, buffer), 2u);
  EXPECT_EQ(buffer[0], 0x00);
  EXPECT_EQ(buffer[1], 0x0F);
  const uint8_t value[1] = {0x42};
  ASSERT_EQ(table.WriteConfig(0, 2, 0, 0, 0x3C, 1, value), 1u);
  EXPECT_EQ(space->bytes({2, 0, 0})[0x3C], 0x42);

  const auto requests = drivers.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, kep_path);
  EXPECT_EQ(requests[0].code, 0x222008u);
  ASSERT_EQ(requests[0].in.size(), 4104u);
  EXPECT_EQ(word_at(requests[0].in, 4096), 2u);  // length after the data
  EXPECT_EQ(word_at(requests[0].in, 4100), 2u);  // then offset
  EXPECT_EQ(requests[1].code, 0x22200Cu);
  EXPECT_EQ(requests[1].in[0], 0x42);
  EXPECT_EQ(word_at(requests[1].in, 4096), 1u);
  EXPECT_EQ(word_at(requests[1].in, 4100), 0x3Cu);
}

TEST_F(PellorConfigTest, ShortLengthWrittenBackFailsExceptOnFarrowPorts) {
  uint8_t buffer[4];
  faults->rewrite_answer(config_path, PELLOR_IOCTL_CONFIG_READ, 16, 2);
  std::memset(buffer, 0xCC, sizeof buffer);
  EXPECT_EQ(table.ReadConfig(0, 1, 2, 3, 0, 4, buffer), 0u);
  EXPECT_EQ(buffer[0], 0x00);  // nothing copied from a short answer
  faults->rewrite_answer(config_path, PELLOR_IOCTL_CONFIG_WRITE, 16, 0);
  EXPECT_EQ(table.WriteConfig(0, 1, 2, 3, 0, 4, buffer), 0u);

  faults->rewrite_answer(kep_path, PELLOR_IOCTL_KEP_READ, 4096, 1);
  faults->rewrite_answer(farrow_path, PELLOR_IOCTL_FARROW_READ, 4, 1);
  EXPECT_EQ(table.ReadConfig(0, 2, 0, 0, 0, 4, buffer), 4u);  // Farrow: acceptance suffices

  faults->fail_requests(farrow_path, PELLOR_IOCTL_FARROW_READ, platform::error::gen_failure);
  EXPECT_EQ(table.ReadConfig(0, 2, 0, 0, 0, 4, buffer), 0u);
}

TEST_F(PellorConfigTest, WindowAndMcfgRequests) {
  ASSERT_EQ(table.SetCfgWindow(0, 0xE0000000u, 0x1, 0x10000000u, 0x0), 1u);
  auto sent = drivers.requests().back();
  EXPECT_EQ(sent.code, 0x22200Cu);
  ASSERT_EQ(sent.in.size(), 16u);
  EXPECT_EQ(sent.out_capacity, 0u);
  EXPECT_EQ(word_at(sent.in, 0), 0xE0000000u);
  EXPECT_EQ(word_at(sent.in, 4), 0x1u);
  EXPECT_EQ(word_at(sent.in, 8), 0x10000000u);
  EXPECT_EQ(word_at(sent.in, 12), 0x0u);

  uint64_t base = 1, length = 1;
  uint8_t start_bus = 1, end_bus = 1;
  ASSERT_EQ(table.QueryMcfg(0, &base, &start_bus, &end_bus, &length), 1u);
  sent = drivers.requests().back();
  EXPECT_EQ(sent.code, 0x22201Cu);
  EXPECT_EQ(sent.in.size(), 0u);
  EXPECT_EQ(sent.out_capacity, 24u);
  EXPECT_EQ(base, 0xE0000000u);
  EXPECT_EQ(start_bus, 0);
  EXPECT_EQ(end_bus, 255);
  EXPECT_EQ(length, 0x10000000u);

  uint64_t first = 0, second = 0;
  ASSERT_EQ(table.GetCfgWindow(0, &first, &second), 1u);
  EXPECT_EQ(drivers.requests().back().code, 0x222010u);
  EXPECT_EQ(drivers.requests().back().out_capacity, 16u);
  EXPECT_EQ(first, 0xE0000000u);

  faults->fail_requests(config_path, PELLOR_IOCTL_CONFIG_QUERY_MCFG, platform::error::gen_failure);
  faults->fail_requests(config_path, PELLOR_IOCTL_CONFIG_SET_WINDOW, platform::error::gen_failure);
  EXPECT_EQ(table.QueryMcfg(0, &base, &start_bus, &end_bus, &length), 0u);
  EXPECT_EQ(base, 0u);
  EXPECT_EQ(end_bus, 0);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(table.SetCfgWindow(0, 0, 0, 0, 0), 0u);
}

}  // namespace
}  // namespace pellor::test
