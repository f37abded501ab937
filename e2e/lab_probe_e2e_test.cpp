// A compliance-test-shaped program against the lab: DAT file, settings file, framework
// start-up over Pellor, the card found above the DUT, a recorded exchange with and
// without the card's fault injection, an XML verdict.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"

namespace e2e {
namespace {

class LabProbe : public LabTest {
 protected:
  // Runs lab_probe with a scenario against the default station; returns its XML log.
  std::string probe(const std::string& scenario, int* code) {
    start_lab("default.station");
    std::ofstream(folder_ + "/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
    std::ofstream(folder_ + "/probe.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                          << "  <VEXOINIFilePath path=\"" << folder_ << "\"/>\n"
                                          << "  <VEXOINIFileName name=\"KALIXapp.ini\"/>\n"
                                          << "  <PCIEBaseAddress addr=\"0xE0000000\"/>\n"
                                          << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
    const std::string bin = std::filesystem::path(LAB_PROBE_EXE).parent_path().string();
    // Test programs load the driver library from the current folder.
    output_ = capture("cd " + bin + " && ZAM_OPERATOR=lab ZAMSIM_SOCKET=" + socket_ + " " + LAB_PROBE_EXE + " -d " + folder_ +
                          "/probe.dat -l " + folder_ + "/probe.xml" + (scenario.empty() ? "" : " -f " + scenario) +
                          " 2>&1",
                      code);
    std::ifstream in(folder_ + "/probe.xml");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string output_;
};

TEST_F(LabProbe, FindsTheCardAndAssertsWhatItRecorded) {
  int code = -1;
  const std::string log = probe("", &code);
  EXPECT_EQ(code, 0) << output_;
  EXPECT_NE(log.find("SUCCESS - card recorded 1 CfgRd0, 1 CplD, 2 Ack, 0 Nak for DUT ID 0x0020ABCD"), std::string::npos)
      << log;
  // The dump starts with the CfgRd0 record header: marker 0xF1, kind 0 annotated as sent
  // downstream (byte 1 0x18), 3 dwords.
  EXPECT_NE(log.find("0x000318f1"), std::string::npos) << log;
}

TEST_F(LabProbe, NakOnTheCompletionBringsItsReplay) {
  int code = -1;
  const std::string log = probe("nak-completion", &code);
  EXPECT_EQ(code, 0) << output_;
  EXPECT_NE(log.find("SUCCESS - card recorded 1 CfgRd0, 2 CplD, 2 Ack, 1 Nak for DUT ID 0x0020ABCD"), std::string::npos)
      << log;
  EXPECT_NE(log.find("<ActionCount> 0"), std::string::npos) << log;
}

TEST_F(LabProbe, CorruptLcrcOnTheRequestIsNakedAndReportedAsBadTlp) {
  int code = -1;
  const std::string log = probe("corrupt-lcrc", &code);
  EXPECT_EQ(code, 0) << output_;
  EXPECT_NE(log.find("SUCCESS - card recorded 2 CfgRd0, 1 CplD"), std::string::npos) << log;
  EXPECT_NE(log.find("1 Nak for DUT ID 0x0020ABCD"), std::string::npos) << log;
  EXPECT_NE(log.find("Bad TLP Status bit ) (Expected : SET) Actual value (SET)"), std::string::npos) << log;
}

TEST_F(LabProbe, AnArmedWindowHoldsTheApplicationsReadsAndTheirCompletions) {
  int code = -1;
  const std::string log = probe("application", &code);
  EXPECT_EQ(code, 0) << output_ << log;
  EXPECT_NE(log.find("SUCCESS - card recorded"), std::string::npos) << log;
}

TEST_F(LabProbe, DelayingTheDutsReadBy60MsBringsACompletionTimeout) {
  int code = -1;
  const std::string log = probe("completion-timeout", &code);
  EXPECT_EQ(code, 0) << output_ << log;
  EXPECT_NE(log.find("Completion Timeout Status bit ) (Expected : SET) Actual value (SET)"), std::string::npos) << log;
}

TEST_F(LabProbe, FunctionsTheDutLacksGiveUnsupportedRequestCompletions) {
  int code = -1;
  const std::string log = probe("unsupported-functions", &code);
  EXPECT_EQ(code, 0) << output_ << log;
  EXPECT_NE(log.find("SUCCESS - card recorded 8 CfgRd0, 1 CplD"), std::string::npos) << log;
}

}  // namespace
}  // namespace e2e
