// Verdicts from the process end and the log: pass, verdict failures at any level, set-up
// failures that share their status, crash, time-out, no log, cut log.
#include "program_verdict.h"

#include <gtest/gtest.h>

namespace zamsuite {
namespace {

program_log complete_log(const std::string& status) {
  program_log log;
  log.found = log.complete = log.test_started = true;
  log.entries = {{"INFORMATIONAL", "DLL.5.2#1.0", "Assertion(s) being tested here\n"},
                 {status, "DLL.5.2#1.0", "check\n"}};
  return log;
}

process_end exited(int code) {
  process_end end;
  end.exit_code = code;
  end.seconds = 1.5;
  return end;
}

// The log shapes a program leaves, each with the exit code it ends with, as a program run
// would read them back.
struct log_shape_case {
  const char* what;
  bool test_started;
  std::vector<log_entry> entries;
  int exit_code;
  verdict outcome;
  const char* reason;
};

const log_entry covered{"INFORMATIONAL", "DLL.5.2#1.0", "Assertion(s) being tested here\n"};

TEST(ProgramVerdictTest, SetUpFailuresAndVerdictsSharingTheirStatusAreToldApartByTheLog) {
  const log_shape_case cases[] = {
      {"pass", true, {covered, {"SUCCESS", "DLL.5.2#1.0", "check\n"}}, 0, verdict::passed, ""},
      {"FAILED at the FAILED level", true, {covered, {"FAILED", "DLL.5.2#1.0", "check\n"}}, 6, verdict::failed,
       "a verdict failed (exit 6)"},
      {"FAILED at the WARNING level", true,
       {covered, {"WARNING", "TXN.5.3#2.0", "FAIL - timeout at 10 ms\n"}, {"SUCCESS", {}, "pass 3\n"}}, 6,
       verdict::failed, "a verdict failed (exit 6)"},
      {"never started: the framework did not open", false, {{"INFO", {}, "P. cannot open vexo\n"}}, 6,
       verdict::error, "exited with 6 before its test started (the set-up failed)"},
      // The link width program ends every run with a verdict, also one whose settings folder
      // is missing.
      {"never started, then a FAILED verdict", false,
       {{"INFO", {}, "TXN_BFT_NegotiatedLinkWidth. cannot open vexo\n"},
        {"FAILED", "TXN.6.0#4.0", "FAIL - TXN_BFT_NegotiatedLinkWdith"}},
       6, verdict::error, "exited with 6 before its test started (the set-up failed)"},
      {"never started, exit 0", false, {}, 0, verdict::error,
       "exited with 0 before its test started (the set-up failed)"},
      {"ended in its set-up: an ABORT assertion", true,
       {{"ABORT", "DLL.5.2#1.0", "FAIL - No ZAM immediately upstream of DUT @BDF[2,0,0]\n"}}, 6, verdict::error,
       "stopped with exit 6 (a step could not be carried out)"},
      {"no operator: an ABORT assertion after the covered entry", true,
       {covered, {"ABORT", "TXN.2.7#9.0", "no operator answered the prompt\n"}}, 6, verdict::error,
       "stopped with exit 6 (a step could not be carried out)"},
      {"an ABORT free text", true, {covered, {"ABORT", {}, "Reading ZAM Trace Buffer\n"}}, 6, verdict::error,
       "stopped with exit 6 (a step could not be carried out)"},
      {"an ABORT beside a FAILED verdict", true,
       {covered, {"FAILED", "DLL.5.2#1.0", "check\n"}, {"ABORT", "DLL.5.2#1.0", "DisarmZAM() \n"}}, 6, verdict::error,
       "stopped with exit 6 (a step could not be carried out)"},
      {"another status without a verdict", true, {covered}, 3, verdict::error, "stopped with exit 3"},
      {"another status with a FAILED verdict", true, {covered, {"FAILED", "DLL.5.2#1.0", "check\n"}}, 0x80,
       verdict::failed, "a verdict failed (exit 128)"},
      {"exit 0 with a FAILED verdict", true, {covered, {"FAILED", "DLL.5.2#1.0", "check\n"}}, 0, verdict::failed,
       "exited with 0 but its log holds a FAILED verdict"},
      {"exit 0 with an ABORT", true, {covered, {"ABORT", "DLL.5.2#1.0", "check\n"}}, 0, verdict::error,
       "exited with 0 but its log holds an ABORT verdict"},
      {"exit 0 with an ERROR assertion", true, {covered, {"ERROR", "DLL.5.2#1.0", "check\n"}}, 0, verdict::error,
       "exited with 0 but its log holds an ERROR verdict"},
      {"the whole status, as Windows keeps it", true, {covered, {"WARNING", "TXN.5.3#2.0", "FAIL\n"}},
       static_cast<int>(0x80000006u), verdict::failed, "a verdict failed (exit 0x80000006)"},
  };
  for (const log_shape_case& t : cases) {
    program_log log;
    log.found = log.complete = true;
    log.test_started = t.test_started;
    log.entries = t.entries;
    process_end end;
    end.exit_code = t.exit_code;
    end.seconds = 1.5;
    const case_result c = judge_program("P", end, log);
    EXPECT_EQ(c.outcome, t.outcome) << t.what;
    EXPECT_EQ(c.reason, t.reason) << t.what;
    EXPECT_EQ(c.seconds, 1.5) << t.what;
    EXPECT_EQ(c.entries.size(), t.entries.size()) << t.what;
  }
}

TEST(ProgramVerdictTest, ExitStatusTexts) {
  // A whole 32-bit status (Windows keeps it) reads in hex: a crash's exception code, a status.
  case_result c = judge_program("P", exited(static_cast<int>(0xC0000005u)), complete_log("SUCCESS"));
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "0xC0000005");
  EXPECT_EQ(c.reason, "stopped with exit 0xC0000005");
  EXPECT_EQ(judge_program("P", exited(256), complete_log("INFORMATIONAL")).exit_status, "0x00000100");
  EXPECT_EQ(judge_program("P", exited(255), complete_log("INFORMATIONAL")).exit_status, "255");
}

TEST(ProgramVerdictTest, CrashTimeOutNoStartNoLogAndCutLogAreErrors) {
  process_end end = exited(-1);
  end.signal = 11;
  case_result c = judge_program("P", end, complete_log("SUCCESS"));
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "signal 11");
  EXPECT_EQ(c.reason, "crashed (signal 11)");

  end = exited(-1);
  end.signal = 15;
  end.timed_out = true;
  end.timeout_s = 30;
  c = judge_program("P", end, {});
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "timed out");
  EXPECT_EQ(c.reason, "stopped after the time limit of 30 s");

  end = exited(-1);
  end.started = false;
  end.start_error = "/x/P not found";
  c = judge_program("P", end, {});
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.reason, "could not be started: /x/P not found");

  c = judge_program("P", exited(0), {});
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.reason, "exited with 0 and wrote no log");

  program_log cut = complete_log("SUCCESS");
  cut.complete = false;
  c = judge_program("P", exited(0), cut);
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.reason, "exited with 0; its log is cut off");
}

}  // namespace
}  // namespace zamsuite
