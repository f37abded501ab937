// Verdicts from the process end and the log: pass, verdict failure, crash, time-out, no log, cut log.
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

TEST(ProgramVerdictTest, PassAndVerdictFailures) {
  case_result c = judge_program("P", exited(0), complete_log("SUCCESS"));
  EXPECT_EQ(c.outcome, verdict::passed);
  EXPECT_EQ(c.exit_status, "0");
  EXPECT_EQ(c.reason, "");
  EXPECT_EQ(c.seconds, 1.5);
  EXPECT_EQ(c.entries.size(), 2u);

  c = judge_program("P", exited(6), complete_log("FAILED"));
  EXPECT_EQ(c.outcome, verdict::failed);
  EXPECT_EQ(c.exit_status, "6");
  EXPECT_EQ(c.reason, "a verdict failed (exit 6)");

  // Exit 6 from a set-up that stopped (no FAILED verdict) is an error, not a device failure.
  c = judge_program("P", exited(6), complete_log("INFORMATIONAL"));
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.reason, "stopped with exit 6");

  // Exit 0 with a FAILED verdict in the log is not a pass.
  c = judge_program("P", exited(0), complete_log("FAILED"));
  EXPECT_EQ(c.outcome, verdict::failed);
  // An aborted step (framework status) is an error.
  c = judge_program("P", exited(3), complete_log("ABORT"));
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.reason, "stopped with exit 3 (a step could not be carried out)");
  c = judge_program("P", exited(0), complete_log("ABORT"));
  EXPECT_EQ(c.outcome, verdict::error);

  // A whole 32-bit status (Windows keeps it) reads in hex: a crash's exception code, a status.
  c = judge_program("P", exited(static_cast<int>(0xC0000005u)), complete_log("SUCCESS"));
  EXPECT_EQ(c.outcome, verdict::error);
  EXPECT_EQ(c.exit_status, "0xC0000005");
  EXPECT_EQ(c.reason, "stopped with exit 0xC0000005");
  c = judge_program("P", exited(static_cast<int>(0x80000006u)), complete_log("FAILED"));
  EXPECT_EQ(c.outcome, verdict::failed);
  EXPECT_EQ(c.reason, "a verdict failed (exit 0x80000006)");
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
