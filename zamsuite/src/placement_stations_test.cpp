// A station's placement stations: names from the station's folder, the error for one that
// is missing, and the placed copy with absolute scripts and the station's own DUT.
#include "placement_stations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/fs.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace zamsuite {
namespace {

class PlacementStationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = platform::make_temp_folder("placements_");
    ASSERT_FALSE(root_.empty());
    ASSERT_TRUE(platform::create_folders(path("stations")));
    std::ofstream(path("stations/slot1.station")) << "[Station]\nTopology = slot1.test\n\n[DUT]\nDevice = 20\n"
                                                     "MaxWidth = 4\nNegotiatedWidth = 2\n";
    std::ofstream(path("elsewhere.station")) << "[Station]\nTopology = /scripts/other.test\n\n[DUT]\nDevice = 7\n";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::string path(const std::string& name) const { return platform::native_path(platform::join_path(root_, name)); }
  std::string station_with(const std::string& text) {
    const std::string station = path("stations/main.station");
    std::ofstream(station) << text;
    return station;
  }

  std::string root_;
};

TEST_F(PlacementStationsTest, NamesAreTakenFromTheStationsFolder) {
  const struct {
    const char* text;
    std::vector<std::string> names;  // below the test's folder
  } cases[] = {
      {"[Station]\nTopology = main.test\n", {}},
      {"[Suite]\nLinkWidthStations =\n", {}},
      {"[Suite]\nLinkWidthStations = slot1.station\n", {"stations/slot1.station"}},
      {"[suite]\nlinkwidthstations =  slot1.station ,, ../elsewhere.station ,\n",
       {"stations/slot1.station", "stations/../elsewhere.station"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected;
    for (const auto& name : c.names) expected.push_back(path(name));
    std::vector<std::string> found{"left over"};
    std::string error;
    EXPECT_TRUE(placement_stations(station_with(c.text), &found, &error)) << c.text << error;
    EXPECT_EQ(found, expected) << c.text;
  }
  // An absolute name is kept as it is; a station that is not there stops the run.
  std::vector<std::string> found;
  std::string error;
  EXPECT_TRUE(placement_stations(station_with("[Suite]\nLinkWidthStations = " + path("elsewhere.station") + "\n"),
                                 &found, &error));
  EXPECT_EQ(found, std::vector<std::string>{path("elsewhere.station")});
  const std::string station = station_with("[Suite]\nLinkWidthStations = slot1.station, slot9.station\n");
  EXPECT_FALSE(placement_stations(station, &found, &error));
  EXPECT_EQ(error, "cannot read the placement station " + path("stations/slot9.station") +
                       " named by [Suite] LinkWidthStations in " + station);
}

TEST_F(PlacementStationsTest, ThePlacedCopyNamesItsScriptsByPathAndCarriesTheDutsSettings) {
  const std::string placed = path("placed.station");
  std::string error;
  // A faulty DUT of its own width, with no width limit of its own.
  const std::string station = station_with("[DUT]\nDevice = 3\nFault = trains-narrow, no-replay-timer\nMaxWidth = 8\n");
  ASSERT_TRUE(write_placed_station(path("stations/slot1.station"), station, placed, &error)) << error;
  const auto value = [&](const char* section, const char* key) {
    return platform::read_profile_string(section, key, "(none)", placed);
  };
  EXPECT_EQ(value("Station", "Topology"), path("stations/slot1.test"));
  EXPECT_EQ(value("DUT", "Device"), "20");  // where the placement puts it
  EXPECT_EQ(value("DUT", "Fault"), "trains-narrow, no-replay-timer");
  EXPECT_EQ(value("DUT", "MaxWidth"), "8");
  EXPECT_EQ(value("DUT", "NegotiatedWidth"), "");  // none: the placement's own limit goes

  // A script named by an absolute path stays; a placement that is not there is named.
  ASSERT_TRUE(write_placed_station(path("elsewhere.station"), station, placed, &error)) << error;
  EXPECT_EQ(value("Station", "Topology"), platform::native_path("/scripts/other.test"));
  EXPECT_FALSE(write_placed_station(path("stations/none.station"), station, placed, &error));
  EXPECT_EQ(error.rfind("cannot read " + path("stations/none.station") + ": ", 0), 0u) << error;
}

}  // namespace
}  // namespace zamsuite
