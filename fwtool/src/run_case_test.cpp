// Cases run from the command line against the card stand-in through the real zamlib:
// verdicts, exit status, the packet trace in both formats, the run loop's edge cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fwtool_fixture.h"
#include "hardware_binding.h"
#include "platform/process.h"
#include "platform/fs.h"
#include "run_case.h"
#include "vexomin.h"

namespace {

using fwtool_testing::FwtoolTest;
using fwtool_testing::small_firmware;
using zamlib_testing::config_read;
using zamlib_testing::config_write;

class RunCaseTest : public FwtoolTest {
 protected:
  RunCaseTest() { place_script("one_endpoint.test", "Cases", "one.test"); }
  int run_one(const std::string& name, std::string* out = nullptr) {
    return run({"Tests/Cases/one.test", name}, out);
  }
  std::string main_log() const { return read("Logs/ORVENLog.txt"); }
};

// Matches testdata/<name>; FWTOOL_UPDATE_GOLDEN=1 rewrites it.
::testing::AssertionResult matches_golden(const std::string& name, const std::string& text) {
  const std::string path = std::string(FWTOOL_TESTDATA_DIR) + "/" + name;
  const char* update = std::getenv("FWTOOL_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << text;
    return ::testing::AssertionSuccess();
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream expected;
  expected << in.rdbuf();
  if (expected.str() == text) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " differs:\n--- expected\n" << expected.str() << "--- actual\n" << text;
}

TEST_F(RunCaseTest, AutomatedCaseEndedByTheStopMarkerPasses) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\nPromptUserToPowerSystem=0\n");
  queue_firmware(small_firmware(0));
  std::string out;
  EXPECT_EQ(run_one("Passing Case", &out), 0);
  EXPECT_EQ(out, "exiting with ORVENStatus = 0x00000000\n");
  // Four answers; the stop marker is neither answered nor logged, and nothing is read after it.
  EXPECT_EQ(card_.completion_lengths(), (std::vector<uint32_t>{16, 16, 12, 12}));
  EXPECT_EQ(card_.read_timeouts(), (std::vector<uint32_t>{1000, 500, 500, 500, 500}));
  EXPECT_TRUE(matches_golden("passing_decoded.packets", read("logs/Passing Case.packets")));
  const std::string log = main_log();
  EXPECT_NE(log.find("Starting Test: Passing Case"), std::string::npos) << log;
  EXPECT_EQ(log.find("FAILURE"), std::string::npos) << log;
  // zamlib's own packet log pairs each request with its completion.
  EXPECT_NE(read("pktlog.txt").find("CfgRead  ID=000 reg=000 data=86803412 \n"), std::string::npos)
      << read("pktlog.txt");
}

// A passing case whose record is not kept (the main log or the packet trace does not
// open, a write or the close fails) does not count as run: 0x40000000, exit 128, and
// standard error names the file and the reason. Planned through the environment, which
// every copy of the platform layer (vexomin's, zamlib's) reads.
TEST_F(RunCaseTest, CaseWhoseRecordIsNotKeptDoesNotCountAsRun) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\nPromptUserToPowerSystem=0\n");
  const std::string main = "log file[" + (folder_ / "Logs" / "ORVENLog.txt").string() + "]";
  const std::string packets = "log file[" + (folder_ / "logs" / "Lost.packets").string() + "]";
  struct lost_case {
    const char* faults;
    const char* status;
    std::string said;
  } const cases[] = {
      {"open:*ORVENLog.txt", "0xc0000080", "VEXO :: LOG NOT OPEN: " + main + " cannot be opened: Permission denied\n"},
      {"write:*ORVENLog.txt:nospace", "0xc0000080",
       "VEXO :: LOG WRITE ERROR: " + main + " cannot be written: No space left on device\n"},
      {"close:*ORVENLog.txt:io", "0x40000080",
       "VEXO :: LOG WRITE ERROR: " + main + " cannot be closed: Input/output error\n"},
      {"open:*.packets", "0x40000080", "VEXO :: LOG NOT OPEN: " + packets + " cannot be opened: Permission denied\n"},
      {"write:*.packets:nospace", "0x40000080",
       "VEXO :: LOG WRITE ERROR: " + packets + " cannot be written: No space left on device\n"},
      {"close:*.packets:io", "0x40000080",
       "VEXO :: LOG WRITE ERROR: " + packets + " cannot be closed: Input/output error\n"},
  };
  for (const lost_case& c : cases) {
    // A case that could not start reads no request: only a case that runs gets the firmware.
    if (std::string(c.status) == "0x40000080") queue_firmware(small_firmware(0));
    platform::set_environment("ZAM_FILE_FAULTS", c.faults);
    std::string out;
    testing::internal::CaptureStderr();
    const int code = run_one("Lost", &out);
    const std::string said = testing::internal::GetCapturedStderr();
    platform::unset_environment("ZAM_FILE_FAULTS");
    EXPECT_EQ(code, 128) << c.faults;
    EXPECT_EQ(out, std::string("exiting with ORVENStatus = ") + c.status + "\n") << c.faults;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.faults << "\n" << said;
  }
}

TEST_F(RunCaseTest, RawTraceAndFinalRegisterDump) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\nPromptUserToPowerSystem=0\n"
                     "[LogParameters]\nLogType=1\nLogFinalDevRegisters=1\n");
  queue_firmware(small_firmware(0));
  EXPECT_EQ(run_one("Raw Case"), 0);
  EXPECT_TRUE(matches_golden("passing_raw.packets", read("logs/Raw Case.packets")));
}

TEST_F(RunCaseTest, FailedCheckFailsTheCaseWithExitStatus0x80) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\nPromptUserToPowerSystem=0\n");
  queue_firmware(small_firmware(0x02000000));  // memory space enable where nothing was assigned
  std::string out;
  EXPECT_EQ(run_one("Failing Case", &out), 0x80);
  EXPECT_EQ(out, "exiting with ORVENStatus = 0x80000080\n");
  EXPECT_NE(main_log().find("\nTEST FAILURE: Memory Space Enable Does Not Have Correct Value :\n"
                            "Bus: 0\tDevice: 0\tFunction: 0\nMEMORY SPACE ENABLE WAS SET\n"),
            std::string::npos)
      << main_log();
}

TEST_F(RunCaseTest, InteractiveCaseEndedBySilencePasses) {
  write_standard_ini("[CustomOptions]\nPromptUserToPowerSystem=0\n");
  auto firmware = small_firmware(0);
  firmware.pop_back();  // no marker: the traffic simply stops
  queue_firmware(firmware);
  std::string out;
  EXPECT_EQ(run_one("Interactive Case", &out), 0);
  EXPECT_EQ(out, "DeviceIoControl TIMEOUT!\nexiting with ORVENStatus = 0x00000000\n");
  EXPECT_NE(main_log().find("Attempt to read from test device timed out.\n"), std::string::npos);
}

TEST_F(RunCaseTest, NoRequestFailsAndOffersARerunOnlyToAnOperator) {
  write_standard_ini();
  answers("NO\n");
  std::string out;
  EXPECT_EQ(run_one("Silent Case", &out), 0x80);
  EXPECT_EQ(out, "DeviceIoControl TIMEOUT!\nexiting with ORVENStatus = 0xa0000080\n");
  EXPECT_NE(main_log().find("No Config Requests Received\n"), std::string::npos);
  EXPECT_EQ(card_.read_timeouts(), std::vector<uint32_t>{1000});
  // In an automated run nobody is asked (the script has no answer left to give).
  write_standard_ini("[CustomOptions]\nAutomateRunAll=5\n");
  EXPECT_EQ(run_one("Silent Case", &out), 0x80);
  EXPECT_EQ(out, "DeviceIoControl TIMEOUT!\nexiting with ORVENStatus = 0xa0000080\n");
}

TEST_F(RunCaseTest, AbortedReadIsNotRunAndAskedNothing) {
  write_standard_ini();
  queue_firmware({config_read(0, 0, 0, 0, 0)});
  card_.end_reads_with(995);
  std::string out;
  EXPECT_EQ(run_one("Reset Case", &out), 0x80);
  EXPECT_EQ(out, "DeviceIoControl Error (3e3)!\nexiting with ORVENStatus = 0x10000080\n");
}

TEST_F(RunCaseTest, NonResponsiveDeviceFromTheIniSendsNothing) {
  write_standard_ini("[DeviceParameters]\nNonResponsiveDevice=1\n[CustomOptions]\nAutomateRunAll=1\n");
  queue_firmware(small_firmware(0));
  EXPECT_EQ(run_one("Silent Device"), 0);
  EXPECT_TRUE(card_.completions().empty());
  const std::string trace = read("logs/Silent Device.packets");
  std::size_t no_packet = 0;
  for (std::size_t at = trace.find("\tSent: NO PACKET\n"); at != std::string::npos;
       at = trace.find("\tSent: NO PACKET\n", at + 1)) {
    ++no_packet;
  }
  EXPECT_EQ(no_packet, 4u) << trace;
}

TEST_F(RunCaseTest, MessagesAndShortPacketsAreSkippedAndOnlyRegister0xFCStops) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\n");
  card_.queue_request({0x34000000u, 0x00000020u, 0, 0});  // Assert INTA: not answered
  card_.queue_bytes({0x04, 0, 0, 1, 0, 0, 0, 0x0F});      // 8 bytes: skipped
  card_.queue_request({0x44000001u, 0x0000000Fu, 0x00000010u});  // a write without its data word
  card_.queue_request(config_write(0, 0, 0, 0x1FC, 5, 0, 0xF));  // 0x1FC is an ordinary register
  card_.queue_request(config_write(0, 0, 0, 0xFC, 6, 0, 0xF));
  card_.queue_request(config_read(0, 0, 0, 0, 7));  // after the marker: never read
  EXPECT_EQ(run_one("Odd Packets"), 0);
  EXPECT_EQ(card_.completions().size(), 1u);
  EXPECT_EQ(card_.requests_left(), 1u);
  EXPECT_EQ(read("logs/Odd Packets.packets"),
            "Received: CONF0 \tTag: 0x05 \tReg: 0xfc \tExtReg: 0x1 \tB:D:F \t0:0:0 \tFirstBE:0xf \tData: 0x00000000\n"
            "\tSent: COMPL \tTag: 0x05 \tStatus: SC \tCompleter ID: 0x0000 \t\n\n");
  const std::string log = main_log();
  EXPECT_NE(log.find("Packet of 8 bytes is too short for a request; skipped.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Packet of 12 bytes is too short for a request; skipped.\n"), std::string::npos) << log;
}

TEST_F(RunCaseTest, FailedSendFailsTheCase) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\n");
  queue_firmware(small_firmware(0));
  card_.fail_writes_with(31);
  std::string out;
  EXPECT_EQ(run_one("Send Fails", &out), 0x80);
  EXPECT_EQ(out, "DeviceIoControl Error (1f)!\nexiting with ORVENStatus = 0x80000080\n");
  EXPECT_NE(main_log().find("Attempt to send completion to test device failed.\n"), std::string::npos);
  EXPECT_EQ(read("logs/Send Fails.packets"), "");
}

TEST_F(RunCaseTest, UnparsableScriptIsNotStartedAndFails) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\n");
  answers("OK\n");  // the parse error waits for the operator
  std::string out;
  EXPECT_EQ(run({"Tests/Cases/missing.test"}, &out), 0x80);
  EXPECT_NE(out.find("exiting with ORVENStatus = 0xc0000080\n"), std::string::npos) << out;
  const std::string log = main_log();
  EXPECT_NE(log.find("Error parsing test topology file.\n"), std::string::npos);
  EXPECT_NE(log.find("No Config Requests Received\n"), std::string::npos);
}

// A script that is not one, or describes nothing, never runs an empty hierarchy that the
// firmware would pass: the case is not started, whatever firmware is waiting.
TEST_F(RunCaseTest, ScriptsThatAreNotScriptsOrHoldNoDeviceAreNotStarted) {
  write_standard_ini("[CustomOptions]\nAutomateRunAll=1\n");
  std::filesystem::create_directories(folder_ / "Tests/Cases/folder.test");
#ifndef _WIN32
  std::filesystem::create_symlink("/dev/zero", folder_ / "Tests/Cases/zero.test");
#endif
  std::ofstream(folder_ / "Tests/Cases/empty.test").close();
  std::ofstream(folder_ / "Tests/Cases/comments.test") << "# to be written\n\n";
  const struct {
    std::string name;
    std::string message;
  } refused[] = {
      {"folder.test", "Script file %s is not a regular file\n"},
#ifndef _WIN32
      {"zero.test", "Script file %s is not a regular file\n"},
#endif
      {"empty.test", "The script describes no device\n"},
      {"comments.test", "The script describes no device\n"},
  };
  for (const auto& script : refused) {
    queue_firmware(small_firmware());
    answers("OK\n");  // the parse error waits for the operator
    std::string out;
    const std::string path = "Tests/Cases/" + script.name;
    EXPECT_EQ(run({path}, &out), 0x80) << script.name;
    const std::string full = platform::native_path(folder_.string() + "/" + path);  // as fwtool builds it
    std::string message = script.message;
    if (const auto at = message.find("%s"); at != std::string::npos) message.replace(at, 2, full);
    EXPECT_NE(out.find(message + "Unable to parse script file " + full + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("exiting with ORVENStatus = 0xc0000080\n"), std::string::npos) << out;
    EXPECT_NE(main_log().find("Error parsing test topology file.\n"), std::string::npos) << script.name;
  }
}

// Each first-response behaviour through the run loop: what the card receives.
TEST_F(RunCaseTest, FirstResponseBehavioursAsTheCardSeesThem) {
  write_standard_ini();
  fwtool::hardware_interface hardware;
  ASSERT_EQ(hardware.bind("zamlib.dll", folder_.string(), nullptr), 0u);
  VEXO_UI_HANDLE_t ui = nullptr;
  CreateUI(nullptr, &ui, VEXO_UI_TYPE_DIALOG);
  VEXO_LOG_HANDLE_t log = nullptr;
  CreateLog(nullptr, &log, VEXO_LOG_TYPE_RAW_TEXT, (folder_ / "main.log").string().c_str(), 0);
  fwtool::run_settings settings;
  settings.automated = true;
  settings.script_dir = (folder_ / "Tests" / "Cases").string();
  settings.script_file = "one.test";
  settings.test_name = "Behaviour";
  const fwtool::case_context context{settings, hardware, log, ui, folder_.string()};
  constexpr uint32_t crs = 2 << 13;
  struct expectation {
    std::vector<uint32_t> lengths;
    std::vector<uint32_t> word1;  // the status field of word 1 of each completion
  };
  const expectation expected[] = {
      {{16, 16, 12, 12}, {0, 0, 1 << 13, 0}},          // 0 normal
      {{12, 16, 12, 12}, {crs, 0, 1 << 13, 0}},        // 1 CRS first
      {{12, 12, 12, 12}, {crs, crs, crs, crs}},        // 2 CRS always
      {{12, 16, 12, 12}, {0xE000, 0, 1 << 13, 0}},     // 3 invalid first
      {{12, 12, 12, 12}, {0xE000, 0xE000, 0xE000, 0xE000}},  // 4 invalid always
      {{16, 12, 12}, {0, 1 << 13, 0}},                 // 5 first dropped
      {{}, {}},                                        // 6 nothing
  };
  std::size_t seen = 0;
  for (uint32_t behaviour = 0; behaviour <= 6; ++behaviour) {
    SCOPED_TRACE(testing::Message() << "behaviour " << behaviour);
    settings.behaviour = behaviour;
    queue_firmware(small_firmware(0));
    testing::internal::CaptureStdout();
    const uint32_t flags = fwtool::run_case(context, false).flags;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(flags, 0u);
    const auto completions = card_.completions();
    const auto lengths = card_.completion_lengths();
    ASSERT_EQ(std::vector<uint32_t>(lengths.begin() + seen, lengths.end()), expected[behaviour].lengths);
    for (std::size_t i = 0; i < expected[behaviour].word1.size(); ++i) {
      EXPECT_EQ(completions[seen + i][1] & 0xE000, expected[behaviour].word1[i]) << i;
    }
    seen = lengths.size();
  }
  CloseLog(log);
  CloseUI(ui);
}

}  // namespace
