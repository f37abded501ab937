// Processes: running a program, starting a background daemon, stop signals, environment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

using environment_list = std::vector<std::pair<std::string, std::string>>;

// Runs a program (searched on PATH when the name has no folder) with extra environment
// variables and waits for it. Returns its exit code, 128 + the signal number when a signal
// ended it, or -1 with `error` set when it could not be started. Once this process is asked to
// stop (catch_stop_signals), the program gets SIGTERM (Windows: it is waited for).
int run_program(const std::vector<std::string>& argv, const environment_list& extra,
                std::string* error = nullptr);

// Starts `serve` in a background process of its own session, its standard streams going to
// `log_path` (appended). `serve` receives a callback to call once it is ready; start_daemon
// returns the child's process id then, or -1 with `error` set when the child ended or was not
// ready within timeout_ms (the child is then stopped).
int start_daemon(const std::function<int(const std::function<void()>& ready)>& serve,
                 const std::string& log_path, uint32_t timeout_ms, std::string* error);

// Starts `program` with `args` as a detached background process (its own session on POSIX;
// on Windows no console and a process group of its own), standard input from the null
// device, standard output and error appended to `log_path`. The program calls
// daemon_ready() once it serves; start_detached returns its process id then, or -1 with
// `error` set when it could not be started, ended first, or was not ready within
// timeout_ms (it is then stopped). For systems without fork: the daemon is the program
// started again, not a copy of this process.
int start_detached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& log_path, uint32_t timeout_ms, std::string* error);

// In a program started by start_detached: tells the waiting starter that it serves. Once
// only; the programs it runs afterwards do not see the starter. Does nothing in a program
// started otherwise.
void daemon_ready();

// The file name of a program: "name.exe" on Windows, "name" elsewhere.
std::string program_file_name(const std::string& name);

// The folder of the running program's executable file, symbolic links resolved (so a
// program started through a link finds the files that lie beside the real one); empty
// when the system cannot tell.
std::string program_folder();

int current_process_id();
int current_user_id();
bool process_alive(int pid);
// Asks a process to stop (SIGTERM).
bool request_stop(int pid);

// After this call, SIGTERM, SIGINT and SIGHUP only set the flag that stop_requested() reports
// (Windows: Ctrl+C, Ctrl+Break and the closing of the console).
void catch_stop_signals();
bool stop_requested();
// The signal that asked the process to stop (SIGTERM 15, SIGINT 2, SIGHUP 1; on Windows Ctrl+C
// reads as 2, Ctrl+Break as 15, the console's closing as 1); 0 while none did.
int stop_signal();

// Standard output takes bytes as they are written: on Windows no "\n" becomes "\r\n", for
// output whose line ends are part of its format (CSV's CR LF). Nothing to do elsewhere.
void binary_standard_output();

std::string get_environment(const std::string& name);
void set_environment(const std::string& name, const std::string& value);
void unset_environment(const std::string& name);

// $TMPDIR, or /tmp.
std::string temp_directory();
// $XDG_RUNTIME_DIR when set and usable, else the temp folder.
std::string runtime_directory();
// A new private folder (mode 0700) below the temp folder; empty on failure.
std::string make_temp_folder(const std::string& prefix);

}  // namespace platform
