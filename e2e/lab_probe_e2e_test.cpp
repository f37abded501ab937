// A compliance-test-shaped program against the lab: DAT file, settings file, framework
// start-up over Pellor, the card found above the DUT, a recorded exchange, an XML verdict.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"

namespace e2e {
namespace {

using LabProbe = LabTest;

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(LabProbe, FindsTheCardAndAssertsWhatItRecorded) {
  start_lab("default.station");
  std::ofstream(folder_ + "/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
  std::ofstream(folder_ + "/probe.dat") << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                                        << "  <VEXOINIFilePath path=\"" << folder_ << "\"/>\n"
                                        << "  <VEXOINIFileName name=\"KALIXapp.ini\"/>\n"
                                        << "  <PCIEBaseAddress addr=\"0xE0000000\"/>\n"
                                        << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
  const std::string bin = std::filesystem::path(LAB_PROBE_EXE).parent_path().string();
  int code = -1;
  // Test programs load the driver library from the current folder.
  const std::string out = capture("cd " + bin + " && ZAMSIM_SOCKET=" + socket_ + " " + LAB_PROBE_EXE + " -d " +
                                      folder_ + "/probe.dat -l " + folder_ + "/probe.xml 2>&1",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  const std::string log = slurp(folder_ + "/probe.xml");
  EXPECT_NE(log.find("SUCCESS - card recorded 1 CfgRd0, 1 CplD, 2 Ack for DUT ID 0x0020ABCD"), std::string::npos)
      << log;
  // The dump starts with the CfgRd0 record header: marker 0xF1, kind 0, 3 dwords.
  EXPECT_NE(log.find("0x000300f1"), std::string::npos) << log;
}

}  // namespace
}  // namespace e2e
