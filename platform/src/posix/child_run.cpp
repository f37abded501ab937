// Supervised program runs on POSIX: fork, chdir, redirect, exec; poll for the end or the limit.
#include "platform/child_run.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/process.h"

namespace platform {
namespace {

constexpr uint32_t kill_grace_ms = 2000;

enum class wait_end { ended, limit, stop_request };

// Waits up to `limit_ms` for the child, and while `on_request` no longer than until this
// process is asked to stop; `ended` when it ended (status filled).
wait_end wait_child(pid_t child, uint32_t limit_ms, bool unlimited, int* status, bool on_request = false) {
  const uint32_t started = tick_ms();
  for (;;) {
    const pid_t done = ::waitpid(child, status, WNOHANG);
    if (done == child) return wait_end::ended;
    if (done < 0 && errno != EINTR) return wait_end::ended;
    if (on_request && stop_requested()) return wait_end::stop_request;
    if (!unlimited && tick_ms() - started >= limit_ms) return wait_end::limit;
    ::usleep(5000);
  }
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const child_run_options& options,
                             int report) {
  ::setpgid(0, 0);
  ::signal(SIGPIPE, SIG_DFL);  // catch_stop_signals ignores it, which exec would keep
  auto fail = [report](int why) {
    (void)!::write(report, &why, sizeof why);
    ::_exit(127);
  };
  if (!options.working_folder.empty() && ::chdir(options.working_folder.c_str()) != 0) fail(errno);
  if (!options.output_path.empty()) {
    const int mode = options.append_output ? O_APPEND : O_TRUNC;
    const int out = ::open(options.output_path.c_str(), O_WRONLY | O_CREAT | mode, 0644);
    if (out < 0) fail(errno);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::close(out);
  }
  if (options.input_from_null) {
    const int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in < 0) fail(errno);
    ::dup2(null_in, STDIN_FILENO);
    ::close(null_in);
  }
  for (const auto& [name, value] : options.extra_environment) ::setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  fail(errno);
  ::_exit(127);  // not reached: fail() exits
}

}  // namespace

child_run_result run_child(const std::vector<std::string>& argv, const child_run_options& options) {
  child_run_result result;
  if (argv.empty()) {
    result.error = "no program given";
    return result;
  }
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  const uint32_t started = tick_ms();
  const pid_t child = ::fork();
  if (child < 0) {
    result.error = std::strerror(errno);
    ::close(report[0]);
    ::close(report[1]);
    return result;
  }
  if (child == 0) {
    ::close(report[0]);
    exec_child(argv, options, report[1]);
  }
  ::setpgid(child, child);  // also from here, so the group exists before any kill
  ::close(report[1]);
  int exec_error = 0;
  const ssize_t got = ::read(report[0], &exec_error, sizeof exec_error);
  ::close(report[0]);
  int status = 0;
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    wait_child(child, 0, true, &status);
    result.error = argv[0] + ": " + std::strerror(exec_error);
    return result;
  }
  result.started = true;
  const wait_end end =
      wait_child(child, options.timeout_ms, options.timeout_ms == 0, &status, options.stop_on_request);
  if (end != wait_end::ended) {
    result.timed_out = end == wait_end::limit;
    result.stopped = end == wait_end::stop_request;
    ::kill(-child, SIGTERM);
    if (wait_child(child, kill_grace_ms, false, &status) != wait_end::ended) {
      ::kill(-child, SIGKILL);
      wait_child(child, 0, true, &status);
    }
  }
  result.elapsed_ms = tick_ms() - started;
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace platform
