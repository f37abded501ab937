// Link widths: each root port's and the DUT's link trains to the smaller of its two ends'
// maximum widths, narrower when the station forces it or the DUT trains narrow.
#include <gtest/gtest.h>

#include "link/link_test_support.h"
#include "base/lattix_hierarchy.h"
#include "base/pcie_regs.h"

namespace zamsim {
namespace {

class LinkWidthTest : public LinkStationTest {
 protected:
  uint32_t negotiated(int script_device) {
    const auto at = station_->tree().locate(script_device);
    const uint16_t cap = station_->tree().pcie_capability(script_device);
    uint32_t value = 0;
    station_->tree().read_dword(*at, cap + pcie::link_control, value);
    return (value >> 20) & 0x3F;
  }
};

TEST_F(LinkWidthTest, BothEndsReportTheNarrowerMaximum) {
  EXPECT_EQ(negotiated(1), 16u);  // x16 slot, the x16 card
  EXPECT_EQ(negotiated(10), 16u);
  EXPECT_EQ(negotiated(2), 8u);   // x8 slot, the x8 switch
  EXPECT_EQ(negotiated(40), 8u);
  EXPECT_EQ(negotiated(3), 4u);   // x4 slot, the x4 known endpoint
  EXPECT_EQ(negotiated(30), 4u);
  EXPECT_EQ(negotiated(11), 4u);  // the card's x16 port above the x4 DUT
  EXPECT_EQ(negotiated(20), 4u);
}

TEST_F(LinkWidthTest, TrainsNarrowHalvesOnlyTheDutsLink) {
  start("trains-narrow");
  EXPECT_EQ(negotiated(20), 2u);
  EXPECT_EQ(negotiated(11), 2u);
  EXPECT_EQ(negotiated(1), 16u);
  EXPECT_EQ(negotiated(3), 4u);
}

}  // namespace
}  // namespace zamsim

namespace zamsim {
namespace {

// The placement stations: the DUT alone below one root port, as the link-width program
// wants it; the slot's link trains to the narrower end.
TEST(PlacementStationTest, TheDutSitsDirectlyBelowItsSlotAtTheNarrowerWidth) {
  struct placement {
    const char* file;
    int root_port;
    uint32_t width;
  };
  for (const placement& p : {placement{"dut-slot1.station", 1, 4}, placement{"dut-slot2.station", 2, 4},
                             placement{"dut-slot3.station", 3, 4}, placement{"dut-x8-in-x4.station", 3, 4}}) {
    std::string error;
    auto config = load_station(std::string(ZAMSIM_STATIONS) + "/" + p.file, error);
    ASSERT_TRUE(config) << error;
    auto tree = make_lattix_hierarchy(config->topology_path, error);
    ASSERT_TRUE(tree) << error;
    lab_station station(*config, std::move(tree));
    ASSERT_TRUE(station.boot(error)) << p.file << ": " << error;
    EXPECT_FALSE(station.roles().card_port);
    EXPECT_EQ(station.link(), nullptr);
    const bdf port = *station.tree().locate(p.root_port);
    const bdf dut = *station.roles().dut;
    uint8_t secondary = 0;
    station.host_read(port, pcie::secondary_bus, 1, &secondary);
    EXPECT_EQ(dut.bus, secondary) << p.file;
    for (int device : {p.root_port, config->dut_device}) {
      const auto at = station.tree().locate(device);
      const uint16_t cap = station.tree().pcie_capability(device);
      uint32_t status = 0;
      station.tree().read_dword(*at, cap + pcie::link_control, status);
      EXPECT_EQ((status >> 20) & 0x3F, p.width) << p.file << " device " << device;
    }
    uint32_t caps = 0;
    station.tree().read_dword(port, station.tree().pcie_capability(p.root_port), caps);
    EXPECT_EQ((caps >> 20) & 0xF, 4u) << "a root port";
    EXPECT_NE(caps & (1u << 24), 0u) << "with a slot";
  }
}

}  // namespace
}  // namespace zamsim

namespace zamsim {
namespace {

// Roles the hierarchy contradicts are refused at boot, naming the key.
TEST(StationRoleTest, TheDutIsAnEndpointAndTheCardPortSitsDirectlyAboveIt) {
  const auto boot_with = [](int dut, int port, std::string& error) {
    auto config = load_station(std::string(ZAMSIM_STATIONS) + "/default.station", error);
    if (!config) return false;
    config->dut_device = dut;
    config->card_port_device = port;
    auto tree = make_lattix_hierarchy(config->topology_path, error);
    lab_station station(*config, std::move(tree));
    return station.boot(error);
  };
  std::string error;
  EXPECT_FALSE(boot_with(40, 11, error));
  EXPECT_NE(error.find("[DUT] Device = 40 is not an endpoint"), std::string::npos) << error;
  EXPECT_FALSE(boot_with(30, 11, error));
  EXPECT_NE(error.find("[Card] Port = 11 is not the bridge directly above the DUT"), std::string::npos) << error;
  EXPECT_TRUE(boot_with(20, 11, error)) << error;
}

}  // namespace
}  // namespace zamsim
