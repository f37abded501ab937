// Running a program under supervision: its own working folder, output to a file, a time limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace platform {

struct child_run_options {
  std::string working_folder;  // empty: the caller's
  std::string output_path;     // standard output and error (created or emptied); empty: inherited
  bool append_output = false;  // add to the output file instead of emptying it
  bool input_from_null = false;  // standard input from /dev/null instead of the caller's
  environment_list extra_environment;
  uint32_t timeout_ms = 0;     // 0: no limit
};

struct child_run_result {
  bool started = false;        // false: the program could not be started (see error)
  int exit_code = -1;          // the exit code when it exited
  int signal = 0;              // the signal that ended it, 0 when it exited
  bool timed_out = false;      // stopped by the time limit
  uint32_t elapsed_ms = 0;
  std::string error;
};

// Runs argv[0] (searched on PATH when it has no folder) in its own process group. At the time
// limit the group gets SIGTERM and, two seconds later, SIGKILL.
child_run_result run_child(const std::vector<std::string>& argv, const child_run_options& options);

}  // namespace platform
