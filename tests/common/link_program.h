// What makes one data-link-layer program: its name and assertion, its card command, the
// texts of its steps and its checks. One runner drives them all.
#pragma once

#include <source_location>

#include "card_mode_check.h"
#include "test_run.h"

namespace zam {

// A step's announcement, confirmation and failure lines; a failure ends the test body
// unless `failure_ends` is false.
struct step_lines {
  log_line start;
  log_line done;
  log_line failed;
  bool failure_ends = true;
};

// A step's announcement and confirmation, without a failure line.
constexpr step_lines lines(log_line start, log_line done = no_line()) {
  step_lines result;
  result.start = start;
  result.done = done;
  return result;
}

// The DAT values besides the DUT's on which a program's verdict rests.
enum class dat_use { none, replay_count, dut_config };

struct link_program {
  const char* test_name;
  VEXO_TEST_NUM_t (*number)();
  mode_check_texts mode;
  unsigned int trace_mask;
  // Builds the card command record; a non-zero status ends the run (the function logged why).
  VEXO_STATUS_t (*build_command)(test_run&, vexo_cmd_map_t*);
  bool resume_logging = false;  // ZAMResumeLogging before arming
  step_lines mask, command, arm, read, disarm;
  step_lines trace_read;              // ZAMGetTraceBuffer
  bool count_trace_bytes = true;      // GetBytesInZAMTB before LogTBContents
  step_lines byte_count;              // only `failed` is used
  step_lines trace_log;               // only `failed` is used
  // Runs after the set-up and before the card mode check (may end the run).
  VEXO_STATUS_t (*before_mode_check)(test_run&) = nullptr;
  // Runs between the stimulus and disarming (the retrain waits).
  void (*after_stimulus)(test_run&) = nullptr;
  // The checks and the verdict; returns the run's status.
  VEXO_STATUS_t (*judge)(test_run&);
  bool saves_registers = true;  // the set-up saves Device Control and Status, restored at the end
  // Stated in the log after the set-up; the run is refused when one did not read cleanly.
  dat_use uses = dat_use::none;
};

// Runs the whole program: set-up, card mode check, sequence, checks, clean-up. Returns the
// run's 32-bit status; `where` is the caller's position for the set-up failure line.
VEXO_STATUS_t run_link_program(const link_program& program, int argc, char* argv[],
                               std::source_location where = std::source_location::current());

// The INFO line of the program's own DAT values and their refusal (0x80000003) when one held
// no digit or had to be cut; `program` names the program on standard output.
VEXO_STATUS_t state_program_values(const link_program& program, test_run& run,
                                   const char* program_name);

// The steps between the card mode check and the checks (trace mask to trace read).
VEXO_STATUS_t run_link_sequence(const link_program& program, test_run& run);

// Reads the ReplayCount of the DAT record as a 12-bit card count plus `extra`, refusing what
// does not fit with an ABORT entry.
VEXO_STATUS_t replay_count_command(test_run& run, uint32_t extra, uint32_t* count);

// A command record with code, count, a TLP header byte 0 and length to match and the usual
// match mask (header bytes 0-3: 0x7F 0x30 0xF3 0xFF).
vexo_cmd_map_t matching_command(uint8_t code, uint32_t count, uint8_t header_byte0,
                                uint8_t length);

}  // namespace zam
