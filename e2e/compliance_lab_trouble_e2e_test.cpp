// Runs that cannot be judged, against the lab: settings that name no usable driver library,
// a lab that cannot be reached, is stopped, is killed or loses its socket in the middle of a
// run, and an operator who cannot answer. Each ends with a set-up status and an ABORT entry
// that names the cause, keeps the entries the program writes today, and judges no DUT.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "lab_fixture.h"

namespace e2e {
namespace {

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

constexpr const char* not_judged = ". The test could not be completed; this is no verdict on the DUT\n</ASSERTTAG>";

class LabTrouble : public LabTest {
 protected:
  std::string bin() const { return std::filesystem::path(REXMIT_EXE).parent_path().string(); }
  std::string log_path() const { return folder_ + "/run.xml"; }

  // A DAT file for the default station's DUT with the given settings folder.
  std::string dat(const std::string& settings) {
    const std::string path = folder_ + "/run.dat";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<VexoDat>\n  <Test mode=\"AddIn\"/>\n"
                        << "  <VEXOINIFilePath p=\"" << settings << "\"/>\n"
                        << "  <VEXOINIFileName n=\"KALIXapp.ini\"/>\n"
                        << "  <PCIEBaseAddress a=\"E0000000\"/>\n"
                        << "  <DUT vendorid=\"ABCD\" deviceid=\"0020\"/>\n</VexoDat>\n";
    return path;
  }

  // Runs a program of the bin folder to its end; returns its output (both streams).
  std::string run(const std::string& environment, const std::string& program, const std::string& dat_file,
                  int* code) {
    const std::string out = capture("cd " + bin() + " && " + environment + " ./" + program + " -d " + dat_file +
                                        " -l " + log_path() + " 2>&1",
                                    code);
    log_ = slurp(log_path());
    return out;
  }

  // Starts a program in the background, waits until its log holds `mark`, then does `act`
  // to the lab; returns when the program has ended, with its output and exit code.
  template <class Act>
  std::string run_and_disturb(const std::string& environment, const std::string& program, const std::string& mark,
                              Act act, int* code, std::chrono::milliseconds* after_act = nullptr) {
    const std::string out_file = folder_ + "/out.txt";
    const std::string command = "cd " + bin() + " && " + environment + " ZAMSIM_SOCKET=" + socket_ + " ./" + program +
                                " -d " + SAMPLE_DAT + " -l " + log_path() + " >" + out_file + " 2>&1; echo $?";
    FILE* child = ::popen(command.c_str(), "r");
    EXPECT_NE(child, nullptr);
    if (child == nullptr) return {};
    const auto started = std::chrono::steady_clock::now();
    while (slurp(log_path()).find(mark) == std::string::npos &&
           std::chrono::steady_clock::now() - started < std::chrono::seconds(30)) {
      ::usleep(10000);
    }
    act();
    const auto acted = std::chrono::steady_clock::now();
    char text[16] = {};
    if (std::fgets(text, sizeof text, child) == nullptr) text[0] = '\0';
    ::pclose(child);
    if (after_act != nullptr) {
      *after_act = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - acted);
    }
    *code = text[0] != '\0' ? std::atoi(text) : -1;
    log_ = slurp(log_path());
    return slurp(out_file);
  }

  std::string log_;
};

TEST_F(LabTrouble, SettingsThatNameNoUsableDriverLibrarySayWhichFileKeyOrLibrary) {
  start_lab("default.station");
  const std::string good_settings = SAMPLE_SETTINGS_DIR;  // the settings the sample DAT file names
  struct row {
    const char* name;
    std::string settings_folder;
    const char* ini;  // KALIXapp.ini's text; nullptr: no file
    std::string environment;
    std::string documented;  // a line the program prints today, kept
    std::string cause;       // the new line's text after "VEXO start-up: "
  };
  const std::string missing = folder_ + "/no_such_folder";
  const std::string settings = folder_ + "/ini";
  const std::string unreachable = folder_ + "/gone.sock";
  const row rows[] = {
      {"missing settings folder", missing, nullptr, "ZAMSIM_SOCKET=" + socket_, "Failed to find DLL file . Exiting.\n",
       "settings folder [" + missing + "] does not exist, so settings file [" + missing +
           "/KALIXapp.ini] names no driver library (key DLLName in section [DLL])"},
      {"settings without [DLL]", settings, "[Driver]\r\nDLLName=Pellor.dll\r\n", "ZAMSIM_SOCKET=" + socket_,
       "Failed to find DLL file . Exiting.\n",
       "settings file [" + settings + "/KALIXapp.ini] has no key DLLName in section [DLL]"},
      {"library without the configuration table", settings, "[DLL]\r\nDLLName=FakePellorNoConfig.dll\r\n",
       "ZAMSIM_SOCKET=" + socket_, "",
       "driver library [" + bin() +
           "/libFakePellorNoConfig.so] has no entry point ConfigDriver_GetInterface (no configuration-space table)"},
      {"unreachable lab", good_settings, nullptr, "ZAMSIM_SOCKET=" + unreachable,
       "ERROR. No drivers for accessing configuration space loaded.",
       "driver library [" + bin() +
           "/libPellor.so] gave no configuration-space table (ConfigDriver_GetInterface returned 0): cannot reach "
           "the lab at ZAMSIM_SOCKET=" + unreachable + ": "},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    std::filesystem::remove_all(settings);
    if (r.ini != nullptr) {
      std::filesystem::create_directories(settings);
      std::ofstream(settings + "/KALIXapp.ini") << r.ini;
    }
    std::filesystem::remove(log_path());
    int code = -1;
    const std::string out = run(r.environment, "ReXmitOnNak_EP_USW", dat(r.settings_folder), &code);
    EXPECT_EQ(code, 6) << out;  // 0x80000006, OpenVEXO's status
    EXPECT_NE(out.find(r.documented), std::string::npos) << out;
    EXPECT_NE(out.find("VEXO start-up: " + r.cause), std::string::npos) << out;
    EXPECT_NE(log_.find("<INFO>\n./ReXmitOnNak_EP_USW. cannot open vexo\n</INFO>"), std::string::npos) << log_;
    EXPECT_NE(log_.find("status = \"ABORT\">\nERROR - OpenVEXO() FAILED: " + r.cause), std::string::npos) << log_;
    EXPECT_EQ(count_of(log_, "status = \"ABORT\""), 1u) << log_;
  }
}

TEST_F(LabTrouble, AnOperatorWhoCannotAnswerEndsWithASetUpErrorAndNoVerdict) {
  struct row {
    const char* program;
    std::string operator_backend;
    std::string cause;   // what the backend said
    std::string kept;    // the entry the program writes today for an unanswered prompt
    std::string absent;  // the verdict it wrote against the DUT before
  };
  const std::string prompt = "prompt \"MESSAGE TO OPERATOR FROM TEST\"";
  const row rows[] = {
      {"TXN_BFT_RequestCompletion_EP", "bogus",
       "operator: unknown backend \"bogus\" in ZAM_OPERATOR (use tty, auto, script:FILE or lab); " + prompt +
           " left unanswered",
       "<INFO>\nTXN_BFT_RequestCompletion. No app has been started. Exiting\n</INFO>",
       "FAILURE - TXN_BFT_RequestCompletion"},
      {"TXN_BFT_RequestCompletion_EP", "script:/nonexistent", "operator: cannot read answer script /nonexistent: No such file or directory",
       "<INFO>\nTXN_BFT_RequestCompletion. No app has been started. Exiting\n</INFO>",
       "FAILURE - TXN_BFT_RequestCompletion"},
      {"TXN_BFT_CompletionTimeout_EP", "bogus",
       "operator: unknown backend \"bogus\" in ZAM_OPERATOR (use tty, auto, script:FILE or lab); " + prompt +
           " left unanswered",
       "status = \"ABORT\">\nFAIL- User did not start an application the DUT supports</ASSERTTAG>",
       "status = \"FAILED\""},
  };
  start_lab("default.station");
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.program) + " " + r.operator_backend);
    int code = -1;
    const std::string out = run("ZAM_TIME_SCALE=0.01 ZAM_OPERATOR=" + r.operator_backend + " ZAMSIM_SOCKET=" + socket_,
                                r.program, SAMPLE_DAT, &code);
    EXPECT_EQ(code, 3) << out;  // 0x80000003, as a prompt that was not answered with OK
    EXPECT_NE(log_.find(r.kept), std::string::npos) << log_;
    EXPECT_NE(log_.find("status = \"ABORT\">\nERROR - No operator could answer a prompt: " + r.cause + not_judged),
              std::string::npos)
        << log_;
    EXPECT_EQ(count_of(log_, "ERROR - No operator could answer a prompt"), 1u) << log_;
    EXPECT_EQ(log_.find(r.absent), std::string::npos) << log_;
    EXPECT_EQ(count_of(out, "ERROR - No operator could answer a prompt: " + r.cause), 1u) << out;
  }
}

TEST_F(LabTrouble, AStoppedLabIsNamedAfterOneTimeOutAndJudgesNoDut) {
  start_lab("default.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  int code = -1;
  std::chrono::milliseconds after_stop{};
  // The program waits 2 s for the card's port to retrain between the read and disarming.
  const std::string out = run_and_disturb(
      "", "LinkRetrainOnRetryFail_EP_USW", "Reading DUT Config space", [&] { ::kill(pid, SIGSTOP); }, &code,
      &after_stop);
  ::kill(pid, SIGKILL);
  EXPECT_EQ(code, 1) << out;  // 0x80000001: the drivers
  // One request waits out its time-out (10 s); every later one fails at once.
  EXPECT_LT(after_stop, std::chrono::seconds(20));
  const std::string cause = "the lab at ZAMSIM_SOCKET=" + socket_ + " stopped answering: no answer within ";
  EXPECT_NE(log_.find("status = \"ABORT\">\nERROR - The drivers stopped answering: " + cause), std::string::npos)
      << log_;
  EXPECT_EQ(count_of(log_, "ERROR - The drivers stopped answering"), 1u) << log_;
  EXPECT_EQ(count_of(out, "ERROR - The drivers stopped answering: " + cause), 1u) << out;
  // Named right after the first step the stopped lab failed (the port's retrain wait, whose
  // entry is kept); no verdict follows.
  const std::size_t retrain = log_.find("status = \"FAILED\">\nRetraining . Down port of the ZAM</ASSERTTAG>");
  EXPECT_NE(retrain, std::string::npos) << log_;
  const std::string named = "<ASSERTTAG assertion = \"DLL.5.2#2.0\" status = \"ABORT\">\nERROR - The drivers "
                            "stopped answering: " + cause;
  const std::size_t next_entry = log_.find("<ASSERTTAG", retrain + 1);
  ASSERT_NE(next_entry, std::string::npos) << log_;
  EXPECT_EQ(log_.substr(next_entry, named.size()), named) << log_;
  EXPECT_EQ(log_.find("LinkRetrainOnRetryFail_EP_USWW - "), std::string::npos) << log_;
  EXPECT_NE(log_.find("</VEXOTest>"), std::string::npos) << log_;
}

TEST_F(LabTrouble, ALabKilledWhileTheCardIsArmedIsNamedAfterTheDocumentedWarning) {
  start_lab("default.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  int code = -1;
  // Between this line and disarming the program lets the application run for 1 s.
  const std::string out = run_and_disturb("ZAM_OPERATOR=lab", "TXN_BFT_CompletionTimeout_EP",
                                          "SUCCESS - Reading DUT Config space", [&] { ::kill(pid, SIGKILL); }, &code);
  EXPECT_EQ(code, 1) << out;  // was 128 (0x80000000, the card command's status)
  const std::string warning = "status = \"WARNING\">\nFAIL - DisarmZAM() \n</ASSERTTAG>";
  const std::string named = "status = \"ABORT\">\nERROR - The drivers stopped answering: the lab at ZAMSIM_SOCKET=" +
                            socket_ + " stopped answering: the daemon closed the connection" + not_judged;
  const std::size_t at_warning = log_.find(warning);
  EXPECT_NE(at_warning, std::string::npos) << log_;
  EXPECT_GT(log_.find(named), at_warning) << log_;
  EXPECT_EQ(log_.find("status = \"FAILED\""), std::string::npos) << log_;
}

TEST_F(LabTrouble, ARemovedSocketLeavesTheVirtualOperatorUnreachableNotTheUser) {
  start_lab("default.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  int code = -1;
  const std::string out =
      run_and_disturb("ZAM_OPERATOR=lab", "TXN_BFT_CompletionTimeout_EP", "SUCCESS - Operator started application",
                      [&] { std::filesystem::remove(socket_); }, &code);
  ::kill(pid, SIGKILL);
  EXPECT_EQ(code, 3) << out;
  EXPECT_NE(log_.find("status = \"ABORT\">\nFAIL- User did not stop the application the DUT supports</ASSERTTAG>"),
            std::string::npos)
      << log_;
  EXPECT_NE(log_.find("status = \"ABORT\">\nERROR - No operator could answer a prompt: operator: the lab at "
                      "ZAMSIM_SOCKET=" + socket_ + " did not answer prompt \"MESSAGE TO OPERATOR FROM TEST\": "),
            std::string::npos)
      << log_;
  EXPECT_EQ(count_of(log_, "ERROR - "), 1u) << log_;
}

}  // namespace
}  // namespace e2e
