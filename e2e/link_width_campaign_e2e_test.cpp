// TXN_BFT_NegotiatedLinkWidth against lab stations that place the DUT in each root port slot:
// the campaign file in one working folder, INCOMPLETE then COMPLETE, the down-shift of a
// wider DUT, a DUT that trains narrow, a DUT below the card, and a second DUT.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace e2e {
namespace {

// Replaces the value of the first `key = ` line after `section` in a station or script.
void set_value(std::string& text, const std::string& section, const std::string& key, const std::string& value) {
  const std::size_t at = text.find(section);
  ASSERT_NE(at, std::string::npos) << section;
  const std::size_t line = text.find("\n" + key + " = ", at);
  ASSERT_NE(line, std::string::npos) << section << " " << key;
  const std::size_t start = line + key.size() + 4;
  text.replace(start, text.find('\n', start) - start, value);
}

// A station of the lab, optionally changed: the DUT's maximum width, a fault, its device ID.
struct placement {
  std::string station;  // a file of zamsim/stations, without ".station"
  std::string dut_max;
  std::string fault;
  std::string device_id = "0x0020";

  placement& dut_max_width(std::string width) { dut_max = std::move(width); return *this; }
  placement& with_fault(std::string name) { fault = std::move(name); return *this; }
  placement& with_device_id(std::string id) { device_id = std::move(id); return *this; }
};

placement at(std::string station) {
  placement p;
  p.station = std::move(station);
  return p;
}

class LinkWidthCampaign : public LabTest {
 protected:
  void SetUp() override {
    work_ = platform::make_temp_folder("link_width_");
    const std::string bin = std::filesystem::path(REXMIT_EXE).parent_path().string();
    // The program loads the driver library from the folder it runs in.
    std::filesystem::create_symlink(bin + "/libPellor.so", work_ + "/libPellor.so");
    std::filesystem::create_symlink(bin + "/TXN_BFT_NegotiatedLinkWidth", work_ + "/TXN_BFT_NegotiatedLinkWidth");
    std::filesystem::create_directories(work_ + "/ini");
    std::ofstream(work_ + "/ini/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
  }
  void TearDown() override {
    stop();
    std::filesystem::remove_all(work_);
  }
  void stop() {
    if (!socket_.empty()) LabTest::TearDown();
    socket_.clear();
    folder_.clear();
  }

  // Runs the program once on a fresh lab with the DUT placed as given; returns the exit code.
  int run_in(const placement& p) {
    stop();
    std::string station = slurp(std::string(ZAMSIM_STATIONS) + "/" + p.station + ".station");
    std::string topology = slurp(std::string(ZAMSIM_STATIONS) + "/" + p.station + ".test");
    set_value(topology, "[Device 20 Function 0]", "DEVICEID", p.device_id);
    const std::string stations = work_ + "/stations";
    std::filesystem::create_directories(stations);
    std::ofstream(stations + "/placed.test") << topology;
    set_value(station, "[Station]", "Topology", stations + "/placed.test");
    if (!p.dut_max.empty()) set_value(station, "[DUT]", "MaxWidth", p.dut_max);
    if (!p.fault.empty()) station.replace(station.find("[DUT]\n"), 6, "[DUT]\nFault = " + p.fault + "\n");
    std::ofstream(stations + "/placed.station") << station;
    start_lab(stations + "/placed.station");

    std::ofstream(work_ + "/run.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                      << "  <VEXOINIFilePath p=\"" << work_ << "/ini\"/>\n"
                                      << "  <VEXOINIFileName n=\"KALIXapp.ini\"/>\n"
                                      << "  <DUT vendorid=\"ABCD\" deviceid=\"" << p.device_id.substr(2) << "\"/>\n"
                                      << "</VexoDat>\n";
    int code = -1;
    output_ = capture("cd " + work_ + " && ZAM_FILE_FAULTS='" + faults_ + "' ZAMSIM_SOCKET=" + socket_ +
                          " ./TXN_BFT_NegotiatedLinkWidth -d run.dat -l run.xml 2>&1",
                      &code);
    log_ = slurp(work_ + "/run.xml");
    return code;
  }

  std::string value(const std::string& section, const std::string& key) {
    return platform::read_profile_string(section, key, "(none)", file());
  }
  std::string file() const { return work_ + "/TXN_BFT_NegotiatedLinkWidth.ini"; }

  std::string work_, output_, log_;
  std::string faults_;  // file failures planned for the program
};

TEST_F(LinkWidthCampaign, IncompleteAfterTheFirstSlotCompleteAfterTheSecond) {
  EXPECT_EQ(run_in(at("dut-slot3")), 0) << output_ << log_;
  EXPECT_NE(output_.find("Try testing on next root port slot \n"), std::string::npos) << output_;
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Success");
  EXPECT_EQ(value("RootPort2", "EqualPluggingStatus"), "Passed");
  EXPECT_EQ(value("RootPort2", "UpPluggingStatus"), "Not_Tested");
  EXPECT_EQ(value("RootPort2", "DownShiftingStatus"), "Not_Tested");
  EXPECT_EQ(value("RootPort2", "NegotiatedLinkWidth"), "4");
  EXPECT_EQ(value("RootPort2", "SlotNumber"), "3");
  EXPECT_EQ(value("RootPort2", "MaxLinkWidth"), "4");
  EXPECT_EQ(value("RootPort0", "Slot_Status"), "Not_Tested");
  EXPECT_EQ(value("RootPort0", "NegotiatedLinkWidth"), "(none)");
  EXPECT_EQ(value("DUT", "VendorId"), "0xABCD");
  EXPECT_EQ(value("DUT", "DeviceID"), "0x20");
  EXPECT_EQ(value("RESULT", "Status"), "INCOMPLETE");
  EXPECT_NE(log_.find("status = \"SUCCESS\">\nSUCCESS - TXN_BFT_NegotiatedLinkWidth</ASSERTTAG>"), std::string::npos);

  // Slot 2 is x8; the x4 DUT trains at x4 in it.
  EXPECT_EQ(run_in(at("dut-slot2")), 0) << log_;
  EXPECT_EQ(value("RootPort1", "Slot_Status"), "Success");
  EXPECT_EQ(value("RootPort1", "UpPluggingStatus"), "Passed");
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Success");  // kept from the first run
  EXPECT_EQ(value("RESULT", "Status"), "COMPLETE");
  EXPECT_NE(output_.find("Test completed \n"), std::string::npos);
  EXPECT_NE(log_.find("ROOT PORT 0 Not_Tested\n"), std::string::npos);
  EXPECT_NE(log_.find("ROOT PORT 1 Success\n"), std::string::npos);
}

// A campaign file that cannot be written (a full disk, a folder in its place) loses the
// run's slot: the program says which file and why, logs it and ends with exit 12.
TEST_F(LinkWidthCampaign, ACampaignThatCannotBeWrittenIsNotAPass) {
  struct lost_case {
    std::string faults;
    bool folder_in_place;
    std::string reason;
  } const cases[] = {
      {"write:*NegotiatedLinkWidth.ini.tmp:nospace", false,
       "./TXN_BFT_NegotiatedLinkWidth.ini.tmp: No space left on device"},
      {"", true, "./TXN_BFT_NegotiatedLinkWidth.ini: not a regular file"},
  };
  for (const lost_case& c : cases) {
    std::filesystem::remove_all(file());
    if (c.folder_in_place) std::filesystem::create_directories(file());
    faults_ = c.faults;
    EXPECT_EQ(run_in(at("dut-slot3")), 12) << output_ << log_;
    const std::string said = "TXN_BFT_NegotiatedLinkWidth. The campaign file cannot be written: " + c.reason + "\n";
    EXPECT_NE(output_.find(said), std::string::npos) << output_;
    EXPECT_NE(log_.find("status = \"ABORT\">\n" + said + "</ASSERTTAG>"), std::string::npos) << log_;
    EXPECT_EQ(log_.find("SUCCESS - TXN_BFT_NegotiatedLinkWidth"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file() + ".tmp"));
  }
  faults_.clear();
  std::filesystem::remove_all(file());
}

TEST_F(LinkWidthCampaign, AWiderDutPassesAsDownShiftAndANarrowTrainingFails) {
  EXPECT_EQ(run_in(at("dut-x8-in-x4")), 0) << log_;
  EXPECT_EQ(value("RootPort2", "DownShiftingStatus"), "Passed");
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Success");
  EXPECT_NE(log_.find("DUT IS 8X and RP is 4X. DUT \t\t\t\tNEGOTIATED LINK WIDTH IS 4X"), std::string::npos);

  // An x16 DUT in the x8 slot, trained at x8.
  EXPECT_EQ(run_in(at("dut-slot2").dut_max_width("16")), 0) << log_;
  EXPECT_EQ(value("RootPort1", "DownShiftingStatus"), "Passed");

  EXPECT_EQ(run_in(at("dut-slot3").with_fault("trains-narrow")), 6) << log_;
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Failed");
  EXPECT_NE(log_.find("status = \"FAILED\">\nFAIL - TXN_BFT_NegotiatedLinkWdith</ASSERTTAG>"), std::string::npos);
}

TEST_F(LinkWidthCampaign, ADutWhoseLinkTrainsAtX0Fails) {
  // Max Link Width 0: the link trains x0; compared as widths, 0 equalled 0 and passed.
  EXPECT_EQ(run_in(at("dut-slot3").with_fault("zero-link-width")), 6) << log_;
  const std::string error = "TXN_BFT_NegotiatedLinkWidth. **ERROR**. ";
  const std::string width = " is not a PCI Express link width (x1, x2, x4, x8, x12, x16, x32)";
  EXPECT_NE(log_.find("<INFO>\n" + error + "DUT max link width[0]" + width + "\n</INFO>\n<INFO>\n" + error +
                      "DUT negotiated link width[0]" + width + ": the link is down\n</INFO>\n<INFO>\n" + error +
                      "Root Port negotiated link width[0]" + width + ": the link is down\n</INFO>"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("status = \"FAILED\">\nFAIL - TXN_BFT_NegotiatedLinkWdith</ASSERTTAG>"), std::string::npos);
  EXPECT_EQ(log_.find("Negotiated Link Widths are EQUAL"), std::string::npos) << log_;
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Failed");
  EXPECT_EQ(value("RootPort2", "NegotiatedLinkWidth"), "0");
  for (const char* plugging : {"UpPluggingStatus", "EqualPluggingStatus", "DownShiftingStatus"}) {
    EXPECT_EQ(value("RootPort2", plugging), "Not_Tested") << plugging;
  }
}

TEST_F(LinkWidthCampaign, ADutBelowTheCardFailsAndStartsTheCampaignOver) {
  EXPECT_EQ(run_in(at("dut-slot3")), 0) << log_;
  ASSERT_TRUE(std::filesystem::exists(file()));
  EXPECT_EQ(run_in(at("default")), 6) << log_;
  EXPECT_NE(log_.find("<FAIL>\nTXN_BFT_NegotiatedLinkWidth. DUT is not plugged directly into Root Port\n</FAIL>"),
            std::string::npos)
      << log_;
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(LinkWidthCampaign, ASecondDutStartsANewFile) {
  EXPECT_EQ(run_in(at("dut-slot3")), 0) << log_;
  EXPECT_EQ(run_in(at("dut-slot2").with_device_id("0x0021")), 0) << log_;
  EXPECT_NE(log_.find("belongs to another DUT (VendorId[0xABCD] DeviceID[0x20]): starting a new campaign"),
            std::string::npos)
      << log_;
  EXPECT_EQ(value("DUT", "DeviceID"), "0x21");
  EXPECT_EQ(value("RootPort2", "Slot_Status"), "Not_Tested");  // the first DUT's slot does not count
  EXPECT_EQ(value("RootPort1", "Slot_Status"), "Success");
  EXPECT_EQ(value("RESULT", "Status"), "INCOMPLETE");
}

}  // namespace
}  // namespace e2e
