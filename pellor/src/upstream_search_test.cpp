// Upstream pair search: parent and grandparent bridges by full scan, bus 255 left out.
#include <gtest/gtest.h>

#include <cstring>

#include "pellor_fixture.h"

namespace pellor::test {
namespace {

class PellorUpstreamTest : public PellorFixture {
 protected:
  void SetUp() override {
    PellorFixture::SetUp();
    drivers.add_config_driver();
    drivers.add_card(fake::card_identity({1, 0, 0}, PELLOR_PORT_TYPE_FARROW, 0, 2));
    drivers.record_requests(false);  // a search is two full scans
  }

  struct result {
    uint32_t status = 0;
    uint32_t grandparent[3] = {0xAA, 0xAA, 0xAA};
    uint8_t grandparent_config[256];
    uint32_t parent[3] = {0xBB, 0xBB, 0xBB};
    uint8_t parent_config[256];
  };

  result search(uint32_t bus, uint32_t device, uint32_t function) {
    result r;
    std::memset(r.grandparent_config, 0xAA, 256);
    std::memset(r.parent_config, 0xBB, 256);
    r.status = card_table().FindUpstreamPair(
        bus, device, function, &r.grandparent[0], &r.grandparent[1], &r.grandparent[2],
        r.grandparent_config, &r.parent[0], &r.parent[1], &r.parent[2], r.parent_config);
    return r;
  }
};

TEST_F(PellorUpstreamTest, FindsParentAndGrandparentWithTheirHeaders) {
  space->add_function({0, 0, 0}, 0x8086, 0x0001);        // host bridge, header type 0
  space->add_bridge({0, 1, 0}, 1, 3);                     // root port
  space->add_bridge({0, 2, 0}, 9, 9);                     // a bridge elsewhere
  auto& port = space->add_bridge({1, 0, 0}, 2, 3);        // card port
  port[0x0E] = 0x81;                                      // multi-function bridge still counts
  space->bytes({1, 0, 0})[0x3F] = 0x77;                   // last header byte is copied
  space->bytes({1, 0, 0})[0x40] = 0x66;                   // beyond 64 bytes is not
  space->add_function({2, 0, 0}, 0x1234, 0x5678);         // device under test
  start();

  const result r = search(2, 0, 0);
  ASSERT_EQ(r.status, 0u);
  EXPECT_EQ(r.parent[0], 1u);
  EXPECT_EQ(r.parent[1], 0u);
  EXPECT_EQ(r.parent[2], 0u);
  EXPECT_EQ(r.grandparent[0], 0u);
  EXPECT_EQ(r.grandparent[1], 1u);
  EXPECT_EQ(r.grandparent[2], 0u);
  EXPECT_EQ(std::memcmp(r.parent_config, space->bytes({1, 0, 0}).data(), 64), 0);
  EXPECT_EQ(r.parent_config[0x3F], 0x77);
  for (int i = 64; i < 256; ++i) ASSERT_EQ(r.parent_config[i], 0) << i;
  EXPECT_EQ(std::memcmp(r.grandparent_config, space->bytes({0, 1, 0}).data(), 64), 0);
}

TEST_F(PellorUpstreamTest, ParentOnBus255IsNeverFoundAndOutputsStay) {
  space->add_bridge({0, 1, 0}, 255, 255);
  space->add_bridge({255, 0, 0}, 7, 7);  // the only bridge above bus 7
  space->add_function({7, 0, 0}, 0x1234, 0x5678);
  start();
  const result r = search(7, 0, 0);
  EXPECT_EQ(r.status, PELLOR_INVALID_PARAMETER);
  EXPECT_EQ(r.parent[0], 0xBBu);
  EXPECT_EQ(r.grandparent[0], 0xAAu);
  EXPECT_EQ(r.parent_config[0], 0xBB);
  EXPECT_EQ(r.grandparent_config[0], 0xAA);

  // A parent found without a grandparent leaves the outputs as they were too.
  space->add_bridge({254, 0, 0}, 8, 8);
  space->add_function({8, 0, 0}, 0x1234, 0x5678);
  const result orphan = search(8, 0, 0);
  EXPECT_EQ(orphan.status, PELLOR_INVALID_PARAMETER);
  EXPECT_EQ(orphan.parent[0], 0xBBu);
  EXPECT_EQ(orphan.parent_config[0], 0xBB);
}

TEST_F(PellorUpstreamTest, NullOutputsAreRefusedBeforeAnyScan) {
  start();
  drivers.record_requests(true);
  uint32_t word = 0;
  uint8_t config[256];
  EXPECT_EQ(card_table().FindUpstreamPair(2, 0, 0, &word, &word, &word, nullptr, &word, &word,
                                          &word, config),
            PELLOR_INVALID_PARAMETER);
  EXPECT_TRUE(drivers.requests().empty());
}

}  // namespace
}  // namespace pellor::test
