// The data-link programs' set-up failures against the lab: usage, DAT file, DUT not found,
// a DUT that is a root port, no card above the DUT, the card in topology mode, and the lab
// going away in the middle of a run; the sample DAT file from another folder.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"
#include "platform/process.h"
#include "station_files.h"

namespace e2e {
namespace {

class ComplianceSetup : public LabTest {
 protected:
  std::string bin() const { return std::filesystem::path(REXMIT_EXE).parent_path().string(); }

  // A DAT file for the lab's settings, with the DUT entry given as attributes and further
  // elements after it.
  std::string dat(const std::string& dut_attributes, const std::string& more = "") {
    const std::string settings = folder_ + "/ini";
    std::filesystem::create_directories(settings);
    std::ofstream(settings + "/KALIXapp.ini") << "[DLL]\r\nDLLName=Pellor.dll\r\n";
    const std::string path = folder_ + "/run.dat";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                        << "  <VEXOINIFilePath p=\"" << settings << "\"/>\n"
                        << "  <VEXOINIFileName n=\"KALIXapp.ini\"/>\n"
                        << "  <PCIEBaseAddress a=\"E0000000\"/>\n"
                        << "  <DUT " << dut_attributes << "/>\n" << more << "</VexoDat>\n";
    return path;
  }

  // Runs a program in the build's bin folder against the lab; returns its output.
  std::string run(const std::string& program, const std::string& arguments, int* code) {
    return capture("cd " + bin() + " && ZAMSIM_SOCKET=" + socket_ + " ./" + program + " " + arguments + " 2>&1",
                   code);
  }

  std::string log_path() const { return folder_ + "/run.xml"; }
};

TEST_F(ComplianceSetup, BadCommandLinesAndMissingDatFilesEndBeforeTheLog) {
  start_lab("default.station");
  int code = -1;
  std::string out = run("ReXmitOnNak_EP_USW", "", &code);
  EXPECT_EQ(code, 7);
  EXPECT_NE(out.find("./ReXmitOnNak_EP_USW. [-l <name of log file> ] [ -d <name of dat file>] [-h for help]\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("LinkTestSetup() failed\n"), std::string::npos);
  out = run("BadLCRC_EP_USW", "-h", &code);
  EXPECT_EQ(code, 7);

  out = run("BadLCRC_EP_USW", "-d " + folder_ + "/missing.dat -l " + log_path(), &code);
  EXPECT_EQ(code, 10);  // 0x8000000A
  EXPECT_NE(out.find("./BadLCRC_EP_USW. Error in processing command dat file\n"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(log_path()));
}

TEST_F(ComplianceSetup, ADutThatIsNotThereOrIsARootPortAborts) {
  start_lab("default.station");
  int code = -1;
  run("ReplayNumTest_EP_USW", "-d " + dat("vendorid=\"DEAD\" deviceid=\"BEEF\"") + " -l " + log_path(), &code);
  EXPECT_EQ(code, 0x1C);  // 0x8000001C
  std::string log = slurp(log_path());
  EXPECT_NE(log.find("status = \"ABORT\">\nLinkTestSetup. FindDevice() for DUT FAILED. Please verify DUT "
                     "exists\n</ASSERTTAG>"),
            std::string::npos)
      << log;
  // The test never started: the document closes without a closing test element.
  EXPECT_EQ(log.find("VEXOTest"), std::string::npos) << log;
  EXPECT_TRUE(log.ends_with("exists\n</ASSERTTAG>\n\n</VEXOXMLLog>\n")) << log;

  // The station's first root port.
  run("ReplayNumTest_EP_USW", "-d " + dat("vendorid=\"8086\" deviceid=\"7A38\"") + " -l " + log_path(), &code);
  EXPECT_EQ(code, 3);  // 0x80000003
  log = slurp(log_path());
  EXPECT_NE(log.find("status = \"ABORT\">\nERROR. DUT is not one of[ PCIE endpoint, legacy endpoint, switch "
                     "up port, pcie-pci bridge\n</ASSERTTAG>"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Opened the DUT"), std::string::npos);
  EXPECT_NE(log.find("</VEXOTest>"), std::string::npos);  // the clean-up stopped the test
}

TEST_F(ComplianceSetup, ADutWithoutTheCardAboveItAborts) {
  start_lab("default.station");
  int code = -1;
  // An endpoint below the switch in slot 2.
  run("DuplicateTLPSeqNum_EP_USW", "-d " + dat("vendorid=\"1B36\" deviceid=\"0041\"") + " -l " + log_path(),
      &code);
  EXPECT_EQ(code, 0x22);  // 0x80000022: no card there
  const std::string log = slurp(log_path());
  EXPECT_NE(log.find("<SUCCESS>\nOpened the DUT\n</SUCCESS>"), std::string::npos) << log;
  EXPECT_NE(log.find("status = \"ABORT\">\nFAIL - No ZAM immediately upstream of DUT @BDF["), std::string::npos)
      << log;
  EXPECT_EQ(log.find("Verifying ZAM mode"), std::string::npos);
  EXPECT_EQ(log.find("Opened ZAM"), std::string::npos);
}

TEST_F(ComplianceSetup, TheCardInTopologyModeEndsEveryProgramWithFailedStatus) {
  // The default station with the card booted in topology mode.
  std::string station = slurp(std::string(ZAMSIM_STATIONS) + "/default.station");
  station.replace(station.find("Mode = 0"), 8, "Mode = 1");
  station.replace(station.find("Topology = default.test"), 23,
                  "Topology = " + std::string(ZAMSIM_STATIONS) + "/default.test");
  const std::string path = std::filesystem::temp_directory_path() /
                           ("topology_mode_" + std::to_string(::getpid()) + ".station");
  std::ofstream(path) << station;
  start_lab(path);
  std::filesystem::remove(path);
  const std::string dut = dat("vendorid=\"ABCD\" deviceid=\"0020\"");
  for (const char* program : {"ReXmitOnNak_EP_USW", "BadLCRC_EP_USW", "ReplayTLPOrder_EP_USW",
                              "ReservedFieldsDLLPReceive_EP_USW", "CorruptedDLLPs_EP_USW"}) {
    int code = -1;
    run(program, "-d " + dut + " -l " + log_path(), &code);
    EXPECT_EQ(code, 6) << program;
    const std::string log = slurp(log_path());
    EXPECT_NE(log.find("status = \"ABORT\">\n"), std::string::npos) << program;
    EXPECT_NE(log.find("ZAM is not in Add-in card mode"), std::string::npos) << log;
    EXPECT_EQ(log.find("Programming ZAM"), std::string::npos) << program;
  }
}

TEST_F(ComplianceSetup, ALabThatGoesAwayMidRunEndsTheProgramWithAFailure) {
  start_lab("default.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  const std::string command = "cd " + bin() + " && ZAMSIM_SOCKET=" + socket_ +
                              " ./LinkRetrainOnRetryFail_EP_USW -d " + dat("vendorid=\"ABCD\" deviceid=\"0020\"") +
                              " -l " + log_path() + " >/dev/null 2>&1; echo $?";
  FILE* program = ::popen(command.c_str(), "r");
  ASSERT_NE(program, nullptr);
  // The program waits for the card's port to retrain (2 s) between the read and disarming.
  const auto started = std::chrono::steady_clock::now();
  while (slurp(log_path()).find("Reading DUT Config space") == std::string::npos &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    ::usleep(20000);
  }
  ::kill(pid, SIGKILL);
  char text[16] = {};
  ASSERT_NE(std::fgets(text, sizeof text, program), nullptr);
  ::pclose(program);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_NE(std::atoi(text), 0) << text;
  const std::string log = slurp(log_path());
  EXPECT_EQ(log.find("LinkRetrainOnRetryFail_EP_USWW - PASS"), std::string::npos) << log;
  EXPECT_NE(log.find("status = \"ABORT\">\nFAIL - DisarmZAM() \n</ASSERTTAG>"), std::string::npos) << log;
}

TEST_F(ComplianceSetup, ADatNumberThatIsNotANumberIsRefusedWhereItDecidesTheVerdict) {
  // A DUT that rolls REPLAY_NUM over early: ReplayCount 0 would not show it.
  const std::string stations = std::filesystem::temp_directory_path() / ("dat_numbers_" + std::to_string(::getpid()));
  std::filesystem::create_directories(stations);
  start_lab(station_with_fault("default", "early-rollover", stations));
  std::filesystem::remove_all(stations);
  struct refusal {
    const char* program;
    std::string dut, more;
    std::string value;  // what the refusal says about the value
  };
  const std::string card_dut = "vendorid=\"ABCD\" deviceid=\"0020\"";
  const refusal cases[] = {
      {"ReplayNumTest_EP_USW", card_dut, "  <ReplayCount n=\"three\"/>\n",
       "<ReplayCount n=\"three\"> holds no digit, taken as 0"},
      {"ReplayNumTest_EP_USW", card_dut, "  <ReplayCount n=\"\"/>\n", "<ReplayCount n=\"\"> holds no digit, taken as 0"},
      {"LinkRetrainOnRetryFail_EP_USW", card_dut, "  <ReplayCount n=\"4294967299\"/>\n",
       "<ReplayCount n=\"4294967299\"> does not fit its field and was cut, taken as 3"},
      // The DUT sits at bus 3: bus 259 would have selected it.
      {"ReXmitOnNak_EP_USW", "bus=\"259\" device=\"0\" function=\"0\"", "",
       "<DUT bus=\"259\"> does not fit its field and was cut, taken as 3"},
      {"TXN_BFT_RequestCompletion_EP", "vendorid=\"1ABCD\" deviceid=\"0020\"", "",
       "<DUT vendorid=\"1ABCD\"> does not fit its field and was cut, taken as 0xABCD"},
  };
  for (const refusal& c : cases) {
    int code = -1;
    const std::string out = run(c.program, "-d " + dat(c.dut, c.more) + " -l " + log_path(), &code);
    EXPECT_EQ(code, 3) << c.program << " " << c.value << "\n" << out;  // 0x80000003
    const std::string line = "DAT file: " + c.value + ". The test does not run on this value: correct the DAT file\n";
    EXPECT_NE(out.find(std::string("./") + c.program + ". " + line), std::string::npos) << out;
    const std::string log = slurp(log_path());
    EXPECT_NE(log.find("<WARNING>\nDAT file: " + c.value + "\n</WARNING>"), std::string::npos) << log;
    EXPECT_NE(log.find("status = \"ABORT\">\n" + line + "</ASSERTTAG>"), std::string::npos) << log;
    EXPECT_EQ(log.find("Programming ZAM"), std::string::npos) << log;
    EXPECT_EQ(log.find("PASS"), std::string::npos) << log;
  }

  // Clean values run, and the log states them.
  int code = -1;
  run("ReplayNumTest_EP_USW", "-d " + dat(card_dut, "  <ReplayCount n=\"3\"/>\n") + " -l " + log_path(), &code);
  EXPECT_EQ(code, 6);  // the early rollover is caught
  const std::string log = slurp(log_path());
  EXPECT_NE(log.find("<INFO>\nTest parameters: DUT[vendorid 0xABCD deviceid 0x20] PCIEBaseAddress[0xE0000000] "
                     "DUTSerrEnable[1]\n</INFO>"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("<INFO>\nTest parameters: ReplayCount[3]\n</INFO>"), std::string::npos) << log;
  EXPECT_EQ(log.find("<WARNING>"), std::string::npos) << log;
}

// The shipped sample DAT file names its settings by absolute path, so a program started in
// any folder (holding only the driver library it loads) finds them.
TEST_F(ComplianceSetup, TheSampleDatFileWorksFromAnyFolder) {
  start_lab("default.station");
  const std::string elsewhere = folder_ + "/elsewhere/deeper";
  std::filesystem::create_directories(elsewhere);
  std::filesystem::create_symlink(bin() + "/libPellor.so", elsewhere + "/libPellor.so");
  int code = -1;
  const std::string out = capture("cd " + elsewhere + " && ZAMSIM_SOCKET=" + socket_ + " " + REXMIT_EXE + " -d " +
                                      SAMPLE_DAT + " -l " + log_path() + " 2>&1",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out.find("cannot be opened"), std::string::npos) << out;
  const std::string log = slurp(log_path());
  EXPECT_NE(log.find("<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"SUCCESS\">\nReXmitOnNAK - PASS \n"),
            std::string::npos)
      << log;
}

// `zamsim run` on TCP with a port picked for it: the program reaches the lab over TCP with
// the address and the secret run hands it, and passes as on the local socket.
TEST_F(ComplianceSetup, TheSampleDatFilePassesAgainstALabOnTcpThroughZamsimRun) {
  folder_ = platform::make_temp_folder("lab_e2e_");
  ASSERT_FALSE(folder_.empty());
  const std::string seen = folder_ + "/seen";
  int code = -1;
  const std::string out = capture("cd " + bin() + " && env -u ZAMSIM_SOCKET -u ZAMSIM_SECRET " + ZAMSIM_EXE + " run " +
                                      ZAMSIM_STATIONS + "/default.station --socket tcp:127.0.0.1:0 -- sh -c " +
                                      "'echo \"$ZAMSIM_SOCKET $ZAMSIM_SECRET\" > " + seen + " && ./" +
                                      std::filesystem::path(REXMIT_EXE).filename().string() + " -d " + SAMPLE_DAT +
                                      " -l " + log_path() + "' 2>&1",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  // The command was handed the port the lab got and the secret beside it.
  char address[128] = {}, secret[512] = {};
  ASSERT_EQ(std::sscanf(slurp(seen).c_str(), "%127s %511s", address, secret), 2) << slurp(seen);
  const std::string port = std::string(address).substr(std::strlen("tcp:127.0.0.1:"));
  EXPECT_EQ(std::string(address).rfind("tcp:127.0.0.1:", 0), 0u) << address;
  EXPECT_NE(port, "0");
  EXPECT_TRUE(std::string(secret).ends_with("/tcp-" + port + ".secret")) << secret;
  EXPECT_NE(out.find(std::string("listening on ") + address + ", secret in " + secret), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(secret)) << "the lab's secret outlives its run";
  const std::string log = slurp(log_path());
  EXPECT_NE(log.find("<ASSERTTAG assertion = \"DLL.5.2#1.0\" status = \"SUCCESS\">\nReXmitOnNAK - PASS \n"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace e2e
