// Station files: roles, numbers, defaults and clear errors.
#include "station/station.h"
#include "base/lattix_hierarchy.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zamsim {
namespace {

namespace fs = std::filesystem;

class StationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("station_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& text) {
    const auto path = (dir_ / "s.station").string();
    std::ofstream(path) << text;
    return path;
  }
  fs::path dir_;
};

TEST_F(StationFileTest, ReadsRolesAndRanges) {
  std::string error;
  const auto s = load_station(write("[Station]\nName = bench\nTopology = hier.test\nConfigBase = 0xB0000000\n"
                                    "IOBase=0x3000\n"
                                    "[RootPort1]\nDevice=1\nSlot=4\nMaxWidth=16\nNegotiatedWidth=8\n"
                                    "[RootPort2]\nDevice=2\n"
                                    "[Card]\nDevice=10\nPort=11\nMode=0\nNextBootMode=1\n"
                                    "[DUT]\nDevice=20\nMaxWidth=4\nNegotiatedWidth=2\n"),
                              error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->name, "bench");
  EXPECT_EQ(s->topology_path, (dir_ / "hier.test").string());
  EXPECT_EQ(s->config_base, 0xB0000000ull);
  EXPECT_EQ(s->config_length, 0x10000000ull);  // default
  EXPECT_EQ(s->io_base, 0x3000u);
  ASSERT_EQ(s->root_ports.size(), 2u);
  EXPECT_EQ(s->root_ports[0].slot, 4u);
  EXPECT_EQ(s->root_ports[0].negotiated_width, 8u);
  EXPECT_EQ(s->root_ports[1].max_width, 1u);
  EXPECT_EQ(s->card_device, 10);
  EXPECT_EQ(s->card_port_device, 11);
  EXPECT_EQ(s->card_next_boot_mode, 1u);
  EXPECT_EQ(s->dut_negotiated_width, 2u);
  EXPECT_EQ(s->known_endpoint_device, -1);
}

TEST_F(StationFileTest, RefusesWhatCannotBeRight) {
  std::string error;
  EXPECT_FALSE(load_station((dir_ / "missing.station").string(), error));
  EXPECT_NE(error.find("cannot read station file"), std::string::npos);
  EXPECT_FALSE(load_station(write("[Station]\nName=x\n"), error));
  EXPECT_NE(error.find("needs Topology"), std::string::npos);
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\nIOBase=0x10000\n"), error));
  EXPECT_NE(error.find("IOBase"), std::string::npos);
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[Card]\nDevice=3\n"), error));
  EXPECT_NE(error.find("Port"), std::string::npos);
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\nMemoryBase=0x90000000\nMemoryLimit=0x8FFFFFFF\n"), error));
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[DUT]\nDevice=twenty\n"), error));
  const auto ok = load_station(write("[Station]\nTopology=/abs/t.test\n[Card]\nDevice=3\nPort=4\nMode=1\n"), error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ok->topology_path, "/abs/t.test");
  EXPECT_EQ(ok->card_next_boot_mode, 1u);  // follows Mode unless given
}

TEST_F(StationFileTest, RefusesRolesThatMakeNoSenseNamingTheKey) {
  std::string error;
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[Card]\nDevice=3\nPort=4\nMode=3\n"), error));
  EXPECT_NE(error.find("[Card] Mode = 3 is not a card mode"), std::string::npos) << error;
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[Card]\nDevice=3\nPort=4\nNextBootMode=7\n"), error));
  EXPECT_NE(error.find("[Card] NextBootMode = 7"), std::string::npos) << error;
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[Card]\nDevice=3\nPort=4\n[DUT]\nDevice=4\n"), error));
  EXPECT_NE(error.find("[DUT] Device = 4 is also [Card] Port"), std::string::npos) << error;
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[RootPort1]\nDevice=1\n[KnownEndpoint]\nDevice=1\n"), error));
  EXPECT_NE(error.find("[KnownEndpoint] Device = 1 is also [RootPort1] Device"), std::string::npos) << error;
  EXPECT_FALSE(load_station(write("[Station]\nTopology=t\n[DUT]\nDevice=2\nFault=no-replay-timer, slow\n"), error));
  EXPECT_NE(error.find("[DUT] Fault: unknown fault \"slow\""), std::string::npos) << error;
  fs::create_directories(dir_ / "folder.test");
  EXPECT_FALSE(load_station(write("[Station]\nTopology=folder.test\n"), error));
  EXPECT_NE(error.find("[Station] Topology = folder.test is a folder"), std::string::npos) << error;
}

TEST_F(StationFileTest, WarnsOfUnknownSectionsAndKeys) {
  std::string error;
  const auto s = load_station(write("; comment\n[Station]\nTopology=t\nColour=blue\n[RootPort2]\nDevice=1\nWidth=3\n"
                                    "[Extra]\nA=1\n[dut]\nfault = trains-narrow\n[RootPortX]\n"),
                              error);
  ASSERT_TRUE(s) << error;
  ASSERT_EQ(s->warnings.size(), 4u);
  EXPECT_NE(s->warnings[0].find(":4: unknown key [Station] Colour"), std::string::npos) << s->warnings[0];
  EXPECT_NE(s->warnings[1].find(":7: unknown key [RootPort2] Width"), std::string::npos) << s->warnings[1];
  EXPECT_NE(s->warnings[2].find(":8: unknown section [Extra]"), std::string::npos) << s->warnings[2];
  EXPECT_NE(s->warnings[3].find("unknown section [RootPortX]"), std::string::npos) << s->warnings[3];
  EXPECT_TRUE(s->faults.trains_narrow);  // sections and keys in any case
}

TEST_F(StationFileTest, OperatorAnswersAreCommaSeparated) {
  std::string error;
  const auto s = load_station(write("[Station]\nTopology=t\n[Operator]\nAnswers = OK, Cancel ,, 2,@cancel\n"), error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->operator_answers, (std::vector<std::string>{"OK", "Cancel", "2", "@cancel"}));
  EXPECT_TRUE(s->warnings.empty());
}

TEST_F(StationFileTest, EveryKeyTheLabReadsLoadsWithoutWarnings) {
  std::string error;
  const auto s = load_station(
      write("[Station]\nTopology=t\n[Card]\nMode=1\nNextBootMode=1\nFirmwareVersion=0x010203\nDipSwitches=1\n"
            "LinkStateA=1\nLinkStateB=2\nDelayScanWindow=1\nPowerCycleAtStart=0\nBootFirmware=0\n[SUT]\nRootComplex=t\n"
            "MemoryBase=0x80000000\nMemoryLimit=0xFEBFFFFF\nIOBase=0x1000\nIOLimit=0xFFFF\n[Firmware]\nFault=\n"),
      error);
  ASSERT_TRUE(s) << error;
  EXPECT_TRUE(s->warnings.empty()) << s->warnings.front();
  EXPECT_EQ(s->card_boot_firmware, 0u);
}

TEST_F(StationFileTest, RefusesWidthsNoLinkHasEmptyNumbersAndKeysOrSectionsGivenTwice) {
  struct refusal {
    std::string text;   // after "[Station]\nTopology=t\n" (lines 1 and 2)
    std::string error;  // after the station's path
  };
  const std::string width = " is not a PCI Express link width (1, 2, 4, 8, 12, 16 or 32";
  const refusal cases[] = {
      {"[DUT]\nDevice=20\nMaxWidth=0\n", ": [DUT] MaxWidth = 0" + width + ")"},
      {"[DUT]\nDevice=20\nMaxWidth=3\n", ": [DUT] MaxWidth = 3" + width + ")"},
      {"[DUT]\nDevice=20\nNegotiatedWidth=6\n", ": [DUT] NegotiatedWidth = 6" + width + "; 0: no limit)"},
      {"[RootPort1]\nDevice=1\nMaxWidth=0\n", ": [RootPort1] MaxWidth = 0" + width + ")"},
      {"[RootPort1]\nDevice=1\nNegotiatedWidth=24\n", ": [RootPort1] NegotiatedWidth = 24" + width + "; 0: no limit)"},
      {"[Card]\nDevice=10\nPort=11\nMaxWidth=5\n", ": [Card] MaxWidth = 5" + width + ")"},
      {"[DUT]\nDevice=20\nMaxWidth=64\n", ": [DUT] MaxWidth = \"64\" is not a number up to 32"},
      // An empty value was read as the key's default.
      {"[DUT]\nDevice=20\nMaxWidth=\n", ": [DUT] MaxWidth = \"\" is not a number up to 32"},
      {"[DUT]\nDevice=\n", ": [DUT] Device = \"\" is not a number up to 65535"},
      {"[Card]\nBootFirmware=2\n", ": [Card] BootFirmware = \"2\" is not a number up to 1"},
      // A second line of a key was dropped without a word.
      {"[DUT]\nDevice=20\nFault = early-rollover\nfault = no-replay-on-nak\n",
       ":6: [DUT] fault is given again (first at line 5): give each key once"},
      {"[DUT]\nDevice=20\n[Card]\nDevice=10\nPort=11\n[dut]\nFault=early-rollover\n",
       ":8: section [dut] is given again (first at line 3): give each section once"},
  };
  for (const refusal& c : cases) {
    std::string error;
    const std::string path = write("[Station]\nTopology=t\n" + c.text);
    EXPECT_FALSE(load_station(path, error)) << c.text;
    EXPECT_EQ(error, path + c.error) << c.text;
  }
  // Every width a link has loads, and NegotiatedWidth 0 means no limit.
  for (const char* w : {"1", "2", "4", "8", "12", "16", "32"}) {
    std::string error;
    const auto s = load_station(write(std::string("[Station]\nTopology=t\n[RootPort1]\nDevice=1\nMaxWidth=") + w +
                                      "\nNegotiatedWidth=0\n[DUT]\nDevice=20\nMaxWidth=" + w + "\nNegotiatedWidth=" + w +
                                      "\n"),
                                error);
    ASSERT_TRUE(s) << w << ": " << error;
    EXPECT_EQ(s->dut_max_width, std::stoul(w));
    EXPECT_EQ(s->root_ports[0].negotiated_width, 0u);
  }
}

TEST(StationNumberTest, ParsesDecimalAndHex) {
  EXPECT_EQ(parse_number("42"), 42u);
  EXPECT_EQ(parse_number("0x1F"), 31u);
  EXPECT_EQ(parse_number("0XffFFffFF"), 0xFFFFFFFFu);
  for (const char* bad : {"", "0x", "-1", "12a", "0x1g", "+3", "99999999999999999999999"}) {
    EXPECT_FALSE(parse_number(bad)) << bad;
  }
}

// A station or topology path that names a folder or a device is refused by name, without
// reading from it (a device such as /dev/zero would never end).
TEST_F(StationFileTest, StationsAndTopologiesThatAreNotRegularFilesAreRefused) {
  std::string error;
  std::vector<std::string> paths{dir_.string()};
#ifndef _WIN32  // a device behind a symbolic link: POSIX only
  fs::create_symlink("/dev/zero", dir_ / "zero.station");
  paths.push_back((dir_ / "zero.station").string());
#endif
  for (const std::string& path : paths) {
    EXPECT_FALSE(load_station(path, error)) << path;
    EXPECT_EQ(error, "cannot read station file " + path + ": not a regular file");
  }
#ifdef _WIN32
  return;
#endif
  const auto station = load_station(write("[Station]\nTopology=/dev/zero\n"), error);
  ASSERT_TRUE(station) << error;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(make_lattix_hierarchy(station->topology_path, error), nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Script file /dev/zero is not a regular file\nUnable to parse script file /dev/zero\n");
  EXPECT_EQ(error, "topology script /dev/zero does not build (the engine's messages are above)");
}

}  // namespace
}  // namespace zamsim
