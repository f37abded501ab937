// Running a program under supervision: its own working folder, output to a file, a time limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"

namespace platform {

struct child_run_options {
  std::string working_folder;  // empty: the caller's
  // Standard output and error (created or emptied); empty: inherited. A relative path is taken
  // from the working folder.
  std::string output_path;
  bool append_output = false;  // add to the output file instead of emptying it
  bool input_from_null = false;  // standard input from the null device instead of the caller's
  environment_list extra_environment;
  uint32_t timeout_ms = 0;     // 0: no limit
  // End the child as at the time limit as soon as stop_requested() (catch_stop_signals) says
  // that this process was asked to stop.
  bool stop_on_request = false;
};

struct child_run_result {
  bool started = false;        // false: the program could not be started (see error)
  int exit_code = -1;          // the exit code when it exited (Windows: the whole 32-bit value)
  int signal = 0;              // the signal that ended it, 0 when it exited (always 0 on Windows)
  bool timed_out = false;      // stopped by the time limit
  bool stopped = false;        // stopped because this process was asked to stop
  uint32_t elapsed_ms = 0;
  std::string error;
};

// Runs argv[0] (searched on PATH when it has no folder; a relative name with a folder is taken
// from the working folder) and waits for it, at most the time limit.
// POSIX: the child runs in its own process group. At the time limit the group gets SIGTERM
// and, two seconds later, SIGKILL; the same when it is stopped on request.
// Windows: ".exe" is added to a name without an extension. The child and every process it
// starts run in a job object. Windows has no SIGTERM that every program receives, so at the
// time limit the whole job is terminated at once (exit code 1460, ERROR_TIMEOUT), and
// run_child waits up to two seconds for its last processes to be gone.
child_run_result run_child(const std::vector<std::string>& argv, const child_run_options& options);

}  // namespace platform
