// The run loop with a stand-in program: its own working folder with the libraries linked in,
// its name as the system spells programs, its text-mode log and console output read back,
// verdicts for a pass, a failed verdict, a time-out and a program that is not there.
#include "suite_run.h"

#include "lab_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fs.h"
#include "platform/process.h"

namespace zamsuite {
namespace {

#ifdef _WIN32
std::string library(const std::string& name) { return name + ".dll"; }
#else
std::string library(const std::string& name) { return "lib" + name + ".so"; }
#endif

class SuiteRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = platform::make_temp_folder("suite_run_");
    ASSERT_FALSE(root_.empty());
    const std::string libraries = platform::join_path(root_, "lib");
    ASSERT_TRUE(platform::create_folders(libraries));
    // The framework, the driver interface library, a test double, the library the settings
    // name, another one and a file that is no library.
    for (const std::string& name : {library("vexo"), library("Pellor"), library("FakePellor"), library("driver"),
                                    library("zamlib"), std::string("notes.txt")}) {
      std::ofstream(platform::join_path(libraries, name)) << name;
    }
    plan_.programs = {"zamsuite_stand_in"};
    plan_.programs_folder = platform::program_folder();
    plan_.library_folders = {libraries};
    plan_.dat_file = platform::join_path(root_, "dut.dat");
    plan_.out_folder = platform::join_path(root_, "out");
    plan_.timeout_s = 60;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The DAT file names its settings folder relative to the working folder, as a program
  // reads it; the settings there name the driver library.
  case_result run(const std::string& behaviour, std::string* progress = nullptr) {
    std::ofstream(plan_.dat_file) << "<?xml version=\"1.0\"?>\n<!--" << behaviour << "-->\n<VexoDat>\n"
                                  << "  <VEXOINIFilePath p=\"ini\"/>\n  <VEXOINIFileName n=\"app.ini\"/>\n</VexoDat>\n";
    for (const std::string& program : plan_.programs) {
      const std::string settings = platform::join_path(platform::join_path(plan_.out_folder, program), "ini");
      platform::create_folders(settings);
      std::ofstream(platform::join_path(settings, "app.ini")) << "[DLL]\nDLLName=driver.dll\n";
    }
    std::ostringstream out;
    const std::vector<case_result> cases = run_programs(plan_, out);
    if (progress != nullptr) *progress = out.str();
    EXPECT_EQ(cases.size(), 1u);
    return cases.empty() ? case_result{} : cases[0];
  }

  std::string root_;
  run_plan plan_;
};

// What a program loads, and nothing else (no test double, no library nobody named).
const std::string linked_libraries = library("Pellor") + " " + library("driver") + " " + library("vexo");

TEST_F(SuiteRunTest, PassAndFailedVerdictFromTheLogAndOutput) {
  std::string progress;
  case_result c = run("pass", &progress);
  EXPECT_EQ(c.name, "zamsuite_stand_in");
  EXPECT_EQ(c.outcome, verdict::passed) << c.reason;
  EXPECT_EQ(c.exit_status, "0");
  ASSERT_EQ(c.entries.size(), 1u);
  EXPECT_EQ(c.entries[0].level, "SUCCESS");
  EXPECT_EQ(c.entries[0].assertion, "DLL.5.2#1.0");
  EXPECT_EQ(c.entries[0].text, "replayed once\n");
  EXPECT_EQ(c.output, "libraries: " + linked_libraries + "\n");
  EXPECT_EQ(progress.rfind("[ 1/1] zamsuite_stand_in ... passed (", 0), 0u) << progress;
  const std::string folder = platform::join_path(plan_.out_folder, "zamsuite_stand_in");
  EXPECT_TRUE(platform::file_exists(platform::join_path(folder, "zamsuite_stand_in.xml")));

  c = run("fail");
  EXPECT_EQ(c.outcome, verdict::failed);
  EXPECT_EQ(c.reason, "a verdict failed (exit 6)");
  ASSERT_EQ(c.entries.size(), 1u);
  EXPECT_EQ(c.entries[0].level, "FAILED");
  EXPECT_EQ(c.entries[0].text, "replayed never\n");
}

TEST_F(SuiteRunTest, TimeOutStaleLogAndMissingProgramAreErrors) {
  plan_.timeout_s = 1;
  case_result c = run("hang");
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "timed out");
  EXPECT_EQ(c.reason, "stopped after the time limit of 1 s");
  EXPECT_TRUE(c.entries.empty());
  EXPECT_EQ(c.output, "libraries: " + linked_libraries + "\n");

  // What stands where the log goes and cannot be removed is never read as this run's log.
  const std::string log = platform::join_path(platform::join_path(plan_.out_folder, "zamsuite_stand_in"), "zamsuite_stand_in.xml");
  platform::delete_file(log);  // the one the hung run began
  ASSERT_TRUE(platform::create_folders(log));
  std::ofstream(platform::join_path(log, "kept")) << "kept";
  c = run("pass");
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "not started");
  EXPECT_EQ(c.reason.rfind("could not be started: cannot remove " + log + ", left by an earlier run: ", 0), 0u)
      << c.reason;

  plan_.programs = {"no_such_program"};
  c = run("pass");
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "not started");
  EXPECT_EQ(c.reason, "could not be started: " +
                          platform::join_path(platform::program_folder(), platform::program_file_name("no_such_program")) +
                          " not found");
}

// A lab started on TCP says where it listens, where its secret is and its log; the suite takes
// them from the last start line and nothing else.
TEST(LabStartLine, AddressSecretAndLogFromTheLastTcpStartLine) {
  const std::string tcp = "zamsim: lab started (pid 7), listening on tcp:127.0.0.1:40411, secret in "
                          "C:\\users\\me\\zamsim\\tcp-40411.secret, log C:\\users\\me\\zamsim\\tcp-any-7.log\n";
  const tcp_lab want{"tcp:127.0.0.1:40411", "C:\\users\\me\\zamsim\\tcp-40411.secret",
                     "C:\\users\\me\\zamsim\\tcp-any-7.log"};
  const struct {
    std::string output;
    bool found;
  } cases[] = {
      {tcp, true},
      {"warning first\n" + tcp + "trailing text, log x\n", true},
      {"zamsim: lab started (pid 3), listening on tcp:127.0.0.1:1, secret in /a, log /b\n" + tcp, true},
      {"zamsim: lab started (pid 7), socket /tmp/l/zamsim.sock, log /tmp/l/x.log\n", false},
      {"zamsim: lab started (pid 7), listening on /tmp/x, secret in /s, log /l\n", false},
      {"zamsim: lab started (pid 7), listening on tcp:127.0.0.1:5\nsecret in /s, log /l\n", false},
      {"zamsim: lab started (pid 7), listening on tcp:127.0.0.1:5, secret in , log /l\n", false},
      {"zamsim: lab started (pid 7), listening on tcp:127.0.0.1:5, secret in /s, log \n", false},
      {"", false},
  };
  for (const auto& c : cases) {
    tcp_lab lab;
    EXPECT_EQ(tcp_lab_of(c.output, &lab), c.found) << c.output;
    if (c.found) {
      EXPECT_EQ(lab.address, want.address) << c.output;
      EXPECT_EQ(lab.secret, want.secret) << c.output;
      EXPECT_EQ(lab.log, want.log) << c.output;
    }
  }
}

}  // namespace
}  // namespace zamsuite
