// The Windows build's programs under wine against the Linux lab daemon over TCP, each run
// beside the Linux program on the same station: the compliance programs give the same exit
// status, verdict and XML log (line ends, folders, time stamps, machine figures and trace
// words masked), faulty DUTs the matrix's verdicts, zamdiag the same status dump, vexoscan the
// same listing of the default station, fwtool every catalogue case its manifest verdict, and
// zamsuite the same suite run with its reports.
//
// ZAM_WINDOWS_BIN names the folder of the Windows programs (build/mingw64/bin); ZAM_WINE the
// wine command (default "wine"), run in the WINEPREFIX of the environment. Without them, or
// without wine, every test is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "compliance_matrix.h"
#include "lab_fixture.h"
#include "log_masks.h"
#include "platform/process.h"
#include "program_verdict.h"
#include "station_files.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// Single quotes for the shell.
std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string linux_bin() { return fs::path(REXMIT_EXE).parent_path().string(); }

std::string station_path(const std::string& name) { return std::string(ZAMSIM_STATIONS) + "/" + name; }

// The lab over TCP on a port of its own for one command line, as a Windows program reaches it:
// `zamsim run` hands the command the address and the secret.
std::string on_tcp_lab(const std::string& station, const std::string& command) {
  return std::string(ZAMSIM_EXE) + " run " + shell_quoted(station) + " --socket tcp:127.0.0.1:0 -- " + command;
}

// One program's run: exit status, what it printed and its log.
struct program_run {
  int code = -1;
  std::string output;
  std::string log;
};

zamsuite::case_result judge(const std::string& program, const program_run& run, const std::string& log_path) {
  zamsuite::process_end end;
  end.exit_code = run.code;
  return zamsuite::judge_program(program, end, zamsuite::read_program_log(log_path));
}

// The masks that make a Windows log comparable with the Linux one hide what differs between
// the runs and nothing else: a mask that hid too much would make the comparison vacuous.
TEST(WineLogMasks, HideOnlyLineEndsFoldersTimesAndMachineFigures) {
  struct {
    const char* what;
    std::string windows;
    std::string linux_log;
    bool equal;
  } cases[] = {
      {"CR LF and LF", "<INFO>\r\nOpened the DUT\r\n</INFO>\r\n", "<INFO>\nOpened the DUT\n</INFO>\n", true},
      {"a lone CR stays", "<INFO>a\rb</INFO>\n", "<INFO>ab</INFO>\n", false},
      {"the folder as wine names it", "log Z:\\tmp\\run\\x.xml\n", "log /tmp/run/x.xml\n", false},
      {"the folder as wine names it, masked", "log Z:\\tmp\\run\\x.xml\n", "log /tmp/run\\x.xml\n", true},
      {"time stamps", "<VEXOTest user=\"u\" timestamp=\"10:01/11/12/2026\">\n",
       "<VEXOTest user=\"u\" timestamp=\"09:59/11/12/2026\">\n", true},
      {"machine figures", "<Memory pagesize=\"4096\" totalPhysRAM=\"1\" availPhysRAM=\"2\">\n",
       "<Memory pagesize=\"4096\" totalPhysRAM=\"3\" availPhysRAM=\"4\">\n", true},
      {"a verdict", "<ASSERTTAG status = \"FAILED\">\n", "<ASSERTTAG status = \"SUCCESS\">\n", false},
      {"a register value", "device status register[0x1]\n", "device status register[0x0]\n", false},
      {"trace words, counted", "<TBData>\n0x00000001\n</TBData>\n", "<TBData>\n0x00000002\n</TBData>\n", true},
      {"a trace word more", "<TBData>\n0x00000001\n0x00000001\n</TBData>\n", "<TBData>\n0x00000001\n</TBData>\n",
       false},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> folders = {"/tmp/run"};
    EXPECT_EQ(mask_run_specifics(c.windows, folders) == mask_run_specifics(c.linux_log, folders), c.equal) << c.what;
  }
  EXPECT_EQ(wine_path("/tmp/run/x.xml"), "Z:\\tmp\\run\\x.xml");
  EXPECT_EQ(mask_run_specifics("at /tmp/run/x and Z:\\tmp\\run\\y\r\n", {"/tmp/run"}), "at <folder>/x and <folder>\\y\n");
}

class WineTest : public LabTest {
 protected:
  void SetUp() override {
    windows_bin_ = environment("ZAM_WINDOWS_BIN");
    wine_ = environment("ZAM_WINE");
    if (wine_.empty()) wine_ = "wine";
    if (windows_bin_.empty()) GTEST_SKIP() << "ZAM_WINDOWS_BIN names no folder of Windows programs";
    int code = -1;
    capture("command -v " + wine_ + " >/dev/null", &code);
    if (code != 0) GTEST_SKIP() << "no " << wine_ << " on this machine";
    work_ = platform::make_temp_folder("wine_e2e_");
    ASSERT_FALSE(work_.empty());
  }

  void TearDown() override {
    LabTest::TearDown();
    if (!work_.empty()) fs::remove_all(work_);
  }

  // The Windows program's command line under wine.
  std::string windows(const std::string& program, const std::string& args) const {
    return wine_ + " " + shell_quoted(windows_bin_ + "/" + program + ".exe") + " " + args;
  }

  // A compliance program of the default station: the Linux one on a lab of its own (local
  // socket), then the Windows one on a fresh lab over TCP; logs in the work folder.
  void run_both(const std::string& program, const std::string& station, program_run* on_linux,
                program_run* on_windows) {
    const std::string linux_log = work_ + "/linux-" + program + ".xml";
    const std::string windows_log = work_ + "/windows-" + program + ".xml";
    start_lab(station);
    on_linux->output = capture("cd " + linux_bin() + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 ZAMSIM_SOCKET=" +
                                   socket_ + " ./" + program + " -d " + SAMPLE_DAT + " -l " + linux_log + " 2>&1",
                               &on_linux->code);
    LabTest::TearDown();
    socket_.clear();
    folder_.clear();
    on_linux->log = slurp(linux_log);
    // The Windows build's own sample (the same settings folder, named by its POSIX path,
    // which a program under wine finds on drive Z:).
    const std::string dat = windows_bin_ + "/../samples/default.dat";
    on_windows->output =
        capture("cd " + shell_quoted(windows_bin_) + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 " +
                    on_tcp_lab(station, windows(program, "-d " + shell_quoted(wine_path(fs::weakly_canonical(dat).string())) +
                                                             " -l " + shell_quoted(wine_path(windows_log)))) +
                    " 2>&1",
                &on_windows->code);
    on_windows->log = slurp(windows_log);
  }

  // The link width program in a slot folder of its own (its campaign file goes there), on
  // the x4 slot station with the DUT's fault (none for ""): the Linux program, then the
  // Windows one.
  void run_both_in_slot(const std::string& fault, program_run* on_linux, program_run* on_windows) {
    const std::string linux_work = work_ + "/slot-linux";
    const std::string windows_work = work_ + "/slot-windows";
    write_slot_folder(linux_work, linux_bin(), {"libPellor.so", slot_program});
    std::vector<std::string> windows_files = {std::string(slot_program) + ".exe"};
    for (const auto& entry : fs::directory_iterator(windows_bin_))
      if (entry.path().extension() == ".dll") windows_files.push_back(entry.path().filename().string());
    write_slot_folder(windows_work, windows_bin_, windows_files);
    // Its station file in a folder of its own: the default station with the same fault is
    // written under the fault's name too.
    fs::create_directories(work_ + "/slot-stations");
    const std::string station = fault.empty() ? station_path("dut-slot3.station")
                                              : station_with_fault("dut-slot3", fault, work_ + "/slot-stations");
    start_lab(station);
    on_linux->output = capture("cd " + linux_work + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 ZAMSIM_SOCKET=" + socket_ +
                                   " ./" + slot_program +
                                   " -d run.dat -l run.xml 2>&1",
                               &on_linux->code);
    LabTest::TearDown();
    socket_.clear();
    folder_.clear();
    on_linux->log = slurp(linux_work + "/run.xml");
    on_windows->output =
        capture("cd " + windows_work + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 " +
                    on_tcp_lab(station, wine_ + " " + slot_program + ".exe -d run.dat -l run.xml") + " 2>&1",
                &on_windows->code);
    on_windows->log = slurp(windows_work + "/run.xml");
  }

  std::string windows_bin_;
  std::string wine_;
  std::string work_;
};

// Every compliance program on the compliant DUT.
class WineCompliance : public WineTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(WineCompliance, GivesTheLinuxProgramsVerdictExitStatusAndLog) {
  const std::string program = GetParam();
  program_run on_linux, on_windows;
  if (program == slot_program) {
    run_both_in_slot("", &on_linux, &on_windows);
  } else {
    run_both(program, station_path("default.station"), &on_linux, &on_windows);
  }
  ASSERT_EQ(on_linux.code, 0) << on_linux.output;
  EXPECT_EQ(on_windows.code, on_linux.code) << on_windows.output;
  ASSERT_NE(on_linux.log.find("status = \"SUCCESS\""), std::string::npos) << on_linux.log;
  const std::vector<std::string> folders = {work_, fs::weakly_canonical(windows_bin_ + "/..").string(),
                                            fs::path(SAMPLE_DAT).parent_path().parent_path().string()};
  EXPECT_EQ(mask_run_specifics(on_windows.log, folders), mask_run_specifics(on_linux.log, folders))
      << on_windows.output;
}

std::vector<std::string> compliance_programs() {
  std::vector<std::string> names(std::begin(programs), std::end(programs));
  names.push_back(slot_program);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Programs, WineCompliance, ::testing::ValuesIn(compliance_programs()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Faulty DUTs: each fault's programs fail under wine as on Linux (exit 6 and a failed
// verdict), and a program the fault does not touch passes.
struct fault_case {
  const char* fault;
  const char* passing;  // a program the fault must not fail
  bool long_run;        // left to ZAM_WINE_E2E_LONG=1
};

class WineFaultMatrix : public WineTest, public ::testing::WithParamInterface<fault_case> {};

TEST_P(WineFaultMatrix, FailsTheMatrixProgramsAsOnLinux) {
  const fault_case c = GetParam();
  // The link width program's scan of its slot station makes about 134,000 lab requests: some
  // three minutes under wine for a faulty DUT (the compliant one's run is in WineCompliance).
  if (c.long_run && environment("ZAM_WINE_E2E_LONG") != "1")
    GTEST_SKIP() << c.fault << " under wine takes minutes: ZAM_WINE_E2E_LONG=1 runs it";
  std::vector<std::string> chosen = expected_failures.at(c.fault);
  chosen.push_back(c.passing);
  const std::string station = station_with_fault("default", c.fault, work_);
  for (const std::string& program : chosen) {
    const bool should_fail = program != c.passing;
    program_run on_linux, on_windows;
    if (program == slot_program) {
      run_both_in_slot(c.fault, &on_linux, &on_windows);
    } else {
      run_both(program, station, &on_linux, &on_windows);
    }
    const std::string log_path = work_ + "/judged.xml";
    std::ofstream(log_path) << on_windows.log;
    const zamsuite::case_result judged = judge(program, on_windows, log_path);
    EXPECT_EQ(on_linux.code, should_fail ? 6 : 0) << c.fault << " " << program << "\n" << on_linux.output;
    EXPECT_EQ(on_windows.code, on_linux.code) << c.fault << " " << program << "\n" << on_windows.output;
    EXPECT_STREQ(zamsuite::verdict_name(judged.outcome), should_fail ? "failed" : "passed")
        << c.fault << " " << program << ": " << judged.reason;
  }
}

INSTANTIATE_TEST_SUITE_P(DutFaults, WineFaultMatrix,
                         ::testing::Values(fault_case{"no-replay-on-nak", "BadLCRC_EP_USW", false},
                                           fault_case{"accepts-bad-lcrc", "ReXmitOnNak_EP_USW", false},
                                           fault_case{"wrong-completer-id", "TXN_BFT_CompletionTimeout_EP", false},
                                           fault_case{"trains-narrow", "ReplayTimerTest_EP_USW", true}),
                         [](const ::testing::TestParamInfo<fault_case>& info) {
                           std::string name = info.param.fault;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// zamdiag's status dump and vexoscan's listing of the default station: the Windows program
// prints what the Linux one prints (line ends and zamdiag's date heading aside).
struct listing_case {
  const char* program;
  const char* args;
};

class WineListing : public WineTest, public ::testing::WithParamInterface<listing_case> {};

// The console text with LF line ends and the status dump's date (24 characters after its
// heading) replaced.
std::string comparable_listing(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  const std::string heading = "ZAM status dump                ";
  const std::size_t at = text.find(heading);
  if (at != std::string::npos && text.size() >= at + heading.size() + 24)
    text.replace(at + heading.size(), 24, "<date>");
  return text;
}

TEST_P(WineListing, PrintsWhatTheLinuxProgramPrints) {
  const listing_case c = GetParam();
  // vexoscan's scan reads every function of buses 0-254, about 533,000 lab requests: under
  // wine a round trip through its socket layer each, some 100 s in all.
  const std::string station = station_path("default.station");
  start_lab(station);
  int linux_code = -1;
  const std::string on_linux = capture("cd " + linux_bin() + " && TZ=UTC ZAMSIM_SOCKET=" + socket_ + " ./" +
                                           c.program + " " + c.args + " 2>/dev/null",
                                       &linux_code);
  LabTest::TearDown();
  socket_.clear();
  folder_.clear();
  int windows_code = -1;
  const std::string on_windows =
      capture("cd " + shell_quoted(windows_bin_) + " && TZ=UTC " + on_tcp_lab(station, windows(c.program, c.args)) +
                  " 2>/dev/null",
              &windows_code);
  ASSERT_EQ(linux_code, 0) << on_linux;
  EXPECT_EQ(windows_code, 0) << on_windows;
  ASSERT_FALSE(on_linux.empty());
  EXPECT_EQ(comparable_listing(on_windows), comparable_listing(on_linux));
}

INSTANTIATE_TEST_SUITE_P(Programs, WineListing,
                         ::testing::Values(listing_case{"zamdiag", "-s"}, listing_case{"vexoscan", ""}),
                         [](const ::testing::TestParamInfo<listing_case>& info) {
                           return std::string(info.param.program);
                         });

// fwtool's catalogue automated on the lab's system under test: every case the command line
// can run gets its manifest verdict (exit 0 passed, 128 failed). One lab serves the run, as
// a bench keeps its system powered between cases.
using WineFwtool = WineTest;

TEST_F(WineFwtool, RunsTheCatalogueWithTheManifestVerdicts) {
  const std::string bench = work_ + "/bench";
  fs::create_directories(bench + "/ini");
  fs::copy(std::string(FWTOOL_SOURCE_DIR) + "/Tests", bench + "/Tests", fs::copy_options::recursive);
  // fwtool loads the card's library from the bench folder.
  fs::copy_file(windows_bin_ + "/zamlib.dll", bench + "/zamlib.dll");
  // The silence that ends a case's traffic a little longer than on Linux: a lab request
  // under wine on a busy machine can take longer than the Linux bench's 500 ms (scaled).
  std::ofstream(bench + "/ini/ORVENapp.ini") << "[DLL]\nDLLName = zamlib.dll\n[TimingParameters]\n"
                                                "DriverInitTimeout = 3000\nFirstRequestTimeout = 3000\n"
                                                "TrafficStopTimeout = 2000\n[CustomOptions]\nAutomateRunAll = 1\n"
                                                "PromptUserToPowerSystem = 0\n";
  // The station's topology named by absolute path, as the bench's copy needs it.
  std::string station = slurp(station_path("sut.station"));
  for (const char* key : {"Topology = ", "RootComplex = "}) {
    const std::size_t at = station.find(std::string("\n") + key);
    if (at == std::string::npos) continue;
    const std::size_t value = at + 1 + std::string(key).size();
    station.replace(value, station.find('\n', value) - value, station_path("sut.test"));
  }
  std::ofstream(bench + "/sut.station") << station;
  // The manifest's cases (the corner case with a silent card needs the corner-case menu).
  std::map<std::string, int> want;
  std::istringstream manifest(slurp(std::string(FWTOOL_SOURCE_DIR) + "/Tests/expected.txt"));
  std::string line, script_lines;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::string script = line.substr(0, line.find(": "));
    if (script.find("Case_13B_") != std::string::npos) continue;
    const std::string verdict = line.substr(script.size() + 2, line.find(':', script.size() + 2) - script.size() - 2);
    want[script] = verdict == "Failed" ? 128 : 0;
    script_lines += script + "\n";
  }
  ASSERT_GT(want.size(), 30u);
  std::ofstream(bench + "/cases.txt") << script_lines;
  // Every case under one lab: "<script> <exit status>" a line. The largest topologies take
  // a minute under wine on a busy machine; a case that hangs ends at five (exit 124).
  std::ofstream(bench + "/run.sh") << "while read -r script; do\n"
                                   << "  timeout 300 " << wine_ << " " << shell_quoted(windows_bin_ + "/fwtool.exe")
                                   << " \"Tests/$script\" >/dev/null 2>&1 </dev/null\n"
                                   << "  echo \"$script $?\"\n"
                                   << "done < cases.txt\n";
  int code = -1;
  const std::string out = capture("cd " + bench + " && ZAM_OPERATOR=lab ZAM_TIME_SCALE=0.01 " +
                                      on_tcp_lab(bench + "/sut.station", "bash run.sh") + " 2>/dev/null",
                                  &code);
  EXPECT_EQ(code, 0) << out;
  std::map<std::string, int> got;
  std::istringstream results(out);
  while (std::getline(results, line)) {
    const std::size_t space = line.rfind(' ');
    if (space != std::string::npos) got[line.substr(0, space)] = std::atoi(line.c_str() + space + 1);
  }
  EXPECT_EQ(got, want) << out;
}

// zamsuite runs the suite on the default station (starting the lab for each program through
// the zamsim beside it) and writes its reports: the same verdicts, exit status and summary
// as the Linux zamsuite.
using WineZamsuite = WineTest;

// The JUnit report's cases in order, each "<name> <verdict>": error, failure, skipped or
// passed (a case's elements run up to the next case or the end of the suite).
std::vector<std::string> junit_cases(const std::string& xml) {
  std::vector<std::string> cases;
  for (std::size_t at = xml.find("<testcase "); at != std::string::npos;) {
    const std::size_t next = xml.find("<testcase ", at + 1);
    const std::string body = xml.substr(at, (next == std::string::npos ? xml.find("</testsuite>", at) : next) - at);
    const std::size_t name = body.find("name=\"") + 6;
    const char* verdict = body.find("<error") != std::string::npos     ? "error"
                          : body.find("<failure") != std::string::npos ? "failure"
                          : body.find("<skipped") != std::string::npos ? "skipped"
                                                                       : "passed";
    cases.push_back(body.substr(name, body.find('"', name) - name) + " " + verdict);
    at = next;
  }
  return cases;
}

TEST_F(WineZamsuite, RunsTheSuiteOnTheStationAsOnLinux) {
  if (!fs::exists(windows_bin_ + "/zamsim.exe")) GTEST_SKIP() << "no zamsim.exe beside zamsuite.exe";
  const std::string station = station_path("default.station");
  int linux_code = -1;
  const std::string linux_out = work_ + "/linux";
  const std::string on_linux = capture("cd " + work_ + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=lab " + linux_bin() +
                                           "/zamsuite -d " + SAMPLE_DAT + " --out " + linux_out + " --station " +
                                           station + " 2>&1",
                                       &linux_code);
  int windows_code = -1;
  const std::string windows_out = work_ + "/windows";
  const std::string dat = fs::weakly_canonical(windows_bin_ + "/../samples/default.dat").string();
  const std::string on_windows =
      capture("cd " + work_ + " && ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=lab " +
                  windows("zamsuite", "-d " + shell_quoted(wine_path(dat)) + " --out " + shell_quoted(wine_path(windows_out)) +
                                          " --station " + shell_quoted(wine_path(station))) +
                  " 2>&1",
              &windows_code);
  ASSERT_EQ(linux_code, 0) << on_linux;
  EXPECT_EQ(windows_code, linux_code) << on_windows;
  EXPECT_NE(on_windows.find("zamsuite: 15 passed, 0 failed, 0 errors, 0 not run"), std::string::npos) << on_windows;
  const std::vector<std::string> linux_cases = junit_cases(slurp(linux_out + "/junit.xml"));
  ASSERT_EQ(linux_cases.size(), 15u);
  EXPECT_EQ(junit_cases(slurp(windows_out + "/junit.xml")), linux_cases);
  const std::string page = slurp(windows_out + "/report.html");
  for (const std::string& program : compliance_programs())
    EXPECT_NE(page.find("<h2>" + program + " <"), std::string::npos) << program;
}

}  // namespace
}  // namespace e2e
