// vexoscan against the lab: the framework's scan finds every function of the station where
// the boot put it, with the script's IDs, and the driver library finds the card.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "lab_fixture.h"
#include "platform/clock.h"

namespace e2e {
namespace {

using LabVexoscan = LabTest;

TEST_F(LabVexoscan, ListsTheDefaultStation) {
  start_lab("default.station");
  int code = -1;
  const std::string out = capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " 2>&1", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out.rfind("Farrow port at bdf[1,0,0] implements ZAM specification\n"
                      "Known end point at bdf[8,0,0] implements ZAM specification\n"
                      "Farrow port found at BDF[1,0,0] and initialized successfully\n",
                      0),
            0u)
      << out;
  const char* rows[] = {
      // Single-function devices: no multi-function bit in the header type.
      "00:00.0  8086:7a38  01   root-port", "00:01.0  8086:7a39  01   root-port", "00:02.0  8086:7a3a  01   root-port",
      "01:00.0  1a2b:5a01  01   switch-upstream", "02:00.0  1a2b:5a02  01   switch-downstream",
      "03:00.0  abcd:0020  00   endpoint            02:00.0  0x40:10(36) 0x54:01(8) 0x70:05(20) 0x100:0001(60) "
      "0x140:0003(12)",
      "04:00.0  10b5:8732  01   switch-upstream",
      // A downstream port's parent is the switch's upstream port, whose secondary bus holds it.
      "02:00.0  1a2b:5a02  01   switch-downstream   01:00.0  ",
      "05:00.0  10b5:8732  01   switch-downstream   04:00.0  ", "05:01.0  10b5:8732  01   switch-downstream   04:00.0  ",
      "06:00.0  1b36:0041  00   endpoint            05:00.0", "07:00.0  1b36:0042  00   endpoint            05:01.0",
      "08:00.0  1a2b:5a30  00   endpoint            00:02.0"};
  for (const char* row : rows) EXPECT_NE(out.find(std::string("\n") + row), std::string::npos) << row << "\n" << out;
  EXPECT_NE(out.find("\n12 function(s)\n"), std::string::npos) << out;
}

// The whole capability chain, past what the framework's walk refuses: those entries and
// the ones after them carry "(?)"; a loop ends the chain with its reason. The framework's
// diagnostics come before the listing, never inside it.
TEST_F(LabVexoscan, ListsWholeCapabilityChains) {
  int code = -1;
  const std::string out = capture(std::string(ZAMSIM_EXE) + " run " + E2E_TESTDATA + "/odd_capabilities.station -- " +
                                      VEXOSCAN_EXE + " 2>/dev/null",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  const std::string listing =
      "BDF      IDS        HDR  PORT                PARENT   CAPABILITIES\n"
      "00:00.0  8086:7a38  01   root-port           -        0x40:10(36) 0x54:01(8)\n"
      "01:00.0  1a2b:5a01  01   switch-upstream     00:00.0  0x40:10(36) 0x54:01(8)\n"
      "02:00.0  1a2b:5a02  01   switch-downstream   01:00.0  0x40:10(36) 0x54:01(8)\n"
      "03:00.0  abcd:0020  00   endpoint            02:00.0  0x40:10(36) 0x54:01(8) 0x100:0001(60) 0x148:000d(?) "
      "0x160:0003(?)\n"
      "03:01.0  abcd:0021  00   endpoint            02:00.0  0x40:10(36) 0x54:01(8) 0x60:03(?) 0x100:0001(60) "
      "0x140:0003(12) [list loops at 0x100]\n"
      "5 function(s)\n";
  ASSERT_GE(out.size(), listing.size()) << out;
  EXPECT_EQ(out.substr(out.size() - listing.size()), listing) << out;
}

// The listing from its column titles to the count line.
std::string listing_of(const std::string& out) {
  const std::size_t start = out.find("BDF      IDS");
  return start == std::string::npos ? std::string() : out.substr(start);
}

// A station saved by --write-dump and replayed by --dump, without the lab, lists exactly
// what the station lists live; the dump's layout is the one lspci -x prints.
TEST_F(LabVexoscan, DumpOfAStationListsWhatTheStationLists) {
  start_lab("default.station");
  const std::string dump = folder_ + "/default-station.txt";
  int code = -1;
  const std::string live =
      capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " --write-dump " + dump + " 2>/dev/null", &code);
  ASSERT_EQ(code, 0) << live;
  const std::string text = slurp(dump);
  EXPECT_EQ(text.rfind("00:00.0 0604: 8086:7a38\n00: 86 80 38 7a ", 0), 0u) << text.substr(0, 200);
  EXPECT_NE(text.find("\n\n03:00.0 ffff: abcd:0020 (rev 01)\n00: cd ab 20 00 "), std::string::npos);
  EXPECT_NE(text.find("\nff0: "), std::string::npos) << "all 4096 bytes of each function";

  // The replay runs with the lab still named: --dump leaves it out all the same.
  const std::string replayed =
      capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " --dump " + dump + " 2>/dev/null", &code);
  EXPECT_EQ(code, 0) << replayed;
  EXPECT_NE(listing_of(live).find("\n12 function(s)\n"), std::string::npos) << live;
  EXPECT_EQ(listing_of(replayed), listing_of(live));
  EXPECT_EQ(replayed.find("implements ZAM specification"), std::string::npos) << "the card is not in a dump";

  // The same through the environment, without the lab.
  const std::string by_environment =
      capture("ZAMSIM_SOCKET= ZAM_CONFIG_DUMP=" + dump + " " + VEXOSCAN_EXE + " 2>/dev/null", &code);
  EXPECT_EQ(code, 0) << by_environment;
  EXPECT_EQ(listing_of(by_environment), listing_of(live));
}

// The chains the framework's walk refuses or that loop replay as they read live.
TEST_F(LabVexoscan, DumpKeepsOddCapabilityChains) {
  const std::string dump = std::string(testing::TempDir()) + "/odd-capabilities-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt";
  int code = -1;
  const std::string live = capture(std::string(ZAMSIM_EXE) + " run " + E2E_TESTDATA + "/odd_capabilities.station -- " +
                                       VEXOSCAN_EXE + " --write-dump " + dump + " 2>/dev/null",
                                   &code);
  ASSERT_EQ(code, 0) << live;
  const std::string replayed = capture(std::string(VEXOSCAN_EXE) + " --dump " + dump + " 2>/dev/null", &code);
  std::remove(dump.c_str());
  EXPECT_EQ(code, 0) << replayed;
  EXPECT_NE(listing_of(live).find("[list loops at 0x100]"), std::string::npos) << live;
  EXPECT_EQ(listing_of(replayed), listing_of(live));
}

TEST_F(LabVexoscan, DaemonKilledDuringTheScanEndsWithAnError) {
  start_lab("default.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  int code = -1;
  const uint32_t started = platform::tick_ms();
  const std::string out = capture("(sleep 0.5; kill -9 " + std::to_string(pid) + ") & ZAMSIM_SOCKET=" + socket_ + " " +
                                      VEXOSCAN_EXE + " 2>&1 >/dev/null; echo \"exit $?\"; wait",
                                  &code);
  EXPECT_NE(out.find("stopped answering during the scan"), std::string::npos) << out;
  EXPECT_NE(out.find("exit 1"), std::string::npos) << out;
  EXPECT_LT(platform::tick_ms() - started, 20000u);  // no hang: failed calls return at once
}

TEST_F(LabVexoscan, DatFileSelectsTheDeviceUnderTest) {
  start_lab("default.station");
  const std::string dat = folder_ + "/select.dat";
  {
    std::ofstream out(dat);
    out << "<VexoDat>\n  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n  <DUT bus=\"8\" device=\"0\" function=\"0\"/>\n"
           "</VexoDat>\n";
  }
  int code = -1;
  std::string out = capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " --dat " + dat + " 2>/dev/null", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("DUT entry 0 selects:"), std::string::npos) << out;
  EXPECT_NE(out.find("\n03:00.0  abcd:0020"), std::string::npos) << out;
  EXPECT_NE(out.find("DUT entry 1 selects:"), std::string::npos) << out;
  EXPECT_NE(out.find("\n08:00.0  1a2b:5a30"), std::string::npos) << out;

  {
    std::ofstream out_file(dat);
    out_file << "<VexoDat><DUT vendorid=\"1234\" deviceid=\"5678\"/></VexoDat>\n";
  }
  out = capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " --dat " + dat + " 2>/dev/null", &code);
  EXPECT_EQ(code, 3) << out;
  EXPECT_NE(out.find("DUT entry 0 selects no device"), std::string::npos) << out;
  capture(std::string(VEXOSCAN_EXE) + " --dat " + folder_ + "/missing.dat >/dev/null 2>&1", &code);
  EXPECT_EQ(code, 2);

  // A bus of 259 selects bus 3: the summary's value comes with a warning naming the text.
  {
    std::ofstream out_file(dat);
    out_file << "<VexoDat><DUT bus=\"259\" device=\"0\" function=\"0\"/><ReplayCount n=\"three\"/></VexoDat>\n";
  }
  out = capture("ZAMSIM_SOCKET=" + socket_ + " " + VEXOSCAN_EXE + " --dat " + dat + " 2>&1 >/dev/null", &code);
  EXPECT_NE(out.find("vexoscan: warning: DAT file: <DUT bus=\"259\"> does not fit its field and was cut, taken as 3\n"
                     "vexoscan: warning: DAT file: <ReplayCount n=\"three\"> holds no digit, taken as 0\n"),
            std::string::npos)
      << out;
}

TEST_F(LabVexoscan, RunPassesTheExitCodeThrough) {
  int code = -1;
  capture(std::string(ZAMSIM_EXE) + " run " + ZAMSIM_STATIONS + "/minimal.station -- sh -c 'test -n \"$ZAMSIM_SOCKET\" && exit 3'",
          &code);
  EXPECT_EQ(code, 3);
  const std::string out =
      capture(std::string(ZAMSIM_EXE) + " run " + ZAMSIM_STATIONS + "/minimal.station -- " + VEXOSCAN_EXE + " 2>&1", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("\n4 function(s)\n"), std::string::npos) << out;
  capture(std::string(ZAMSIM_EXE) + " run /no/such.station -- true 2>/dev/null", &code);
  EXPECT_EQ(code, 1);
}

// zamsim's own lines go to standard error: the command's standard output is its own.
TEST_F(LabVexoscan, RunLeavesStandardOutputToTheCommand) {
  int code = -1;
  const std::string out = capture(std::string(ZAMSIM_EXE) + " run " + ZAMSIM_STATIONS +
                                      "/minimal.station -- printf 'one\\ntwo\\n' 2>/dev/null",
                                  &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, "one\ntwo\n");
  const std::string err = capture(std::string(ZAMSIM_EXE) + " run " + ZAMSIM_STATIONS +
                                      "/minimal.station -- true 2>&1 >/dev/null",
                                  &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(err.rfind("zamsim: lab started (pid ", 0), 0u) << err;
  EXPECT_NE(err.find("\nstopping\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace e2e
