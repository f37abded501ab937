// The system under test powered by a USB host's use of the card, as the bench operator
// does it when no open of the card reaches the lab: on at the host's first wait on pipe 1
// in topology mode, off when the card leaves the bus, and a system the lab protocol
// powered is left to it.
#include <gtest/gtest.h>

#include "base/lattix_hierarchy.h"
#include "station/lab_station.h"

namespace zamsim {
namespace {

TEST(UsbHostPower, FirstWaitInTopologyModePowersOnAndLeavingPowersOffOnlyWhatItPowered) {
  struct row {
    const char* name;
    uint32_t mode;           // the card's mode when the host waits
    bool lab_opened;         // the lab protocol powered the system first
    bool on_after_wait;
    bool on_after_left;
  };
  const row rows[] = {
      {"topology mode, off: the wait powers on, leaving powers off", mode_topology, false, true, false},
      {"add-in card mode: pipe 1 stalls, nothing powers on", mode_add_in_card, false, false, false},
      {"known endpoint mode: nothing powers on", mode_known_endpoint, false, false, false},
      {"powered by the lab protocol: left on", mode_topology, true, true, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string error;
    auto config = load_station(std::string(ZAMSIM_STATIONS) + "/sut.station", error);
    ASSERT_TRUE(config) << error;
    config->card_mode = r.mode;
    auto tree = make_lattix_hierarchy(config->topology_path, error);
    ASSERT_TRUE(tree) << error;
    lab_station station(*config, std::move(tree));
    ASSERT_TRUE(station.boot(error)) << error;
    ASSERT_NE(station.sut(), nullptr);
    EXPECT_FALSE(station.sut()->powered());
    if (r.lab_opened) station.sut_power(true);
    station.usb_host_waits();
    EXPECT_EQ(station.sut()->powered(), r.on_after_wait);
    station.usb_host_waits();  // a later wait changes nothing
    EXPECT_EQ(station.sut()->powered(), r.on_after_wait);
    station.usb_host_left();
    EXPECT_EQ(station.sut()->powered(), r.on_after_left);
    station.usb_host_left();
    EXPECT_EQ(station.sut()->powered(), r.on_after_left);
    if (r.on_after_wait && !r.on_after_left) {
      // The next session's first wait powers it on again.
      station.usb_host_waits();
      EXPECT_TRUE(station.sut()->powered());
    }
  }
}

}  // namespace
}  // namespace zamsim
