// Processes on POSIX: fork/exec, a daemon in its own session, signals, environment.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>

#include "platform/clock.h"

namespace platform {
namespace {

volatile sig_atomic_t stop_flag = 0;

void on_stop_signal(int signal_number) { stop_flag = signal_number; }

// A close-on-exec pipe and a fork: the child's pid (0 in the child), or -1 with `error` set
// and no descriptor left open.
pid_t fork_with_pipe(int ends[2], std::string* error) {
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    if (error) *error = std::strerror(errno);
    return -1;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    if (error) *error = std::strerror(errno);
    ::close(ends[0]);
    ::close(ends[1]);
  }
  return child;
}

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

int run_program(const std::vector<std::string>& argv, const environment_list& extra,
                std::string* error) {
  if (argv.empty()) {
    if (error) *error = "no program given";
    return -1;
  }
  int report[2];
  const pid_t child = fork_with_pipe(report, error);
  if (child < 0) return -1;
  if (child == 0) {
    ::close(report[0]);
    ::signal(SIGPIPE, SIG_DFL);  // catch_stop_signals ignores it, which exec would keep
    for (const auto& [name, value] : extra) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    const int why = errno;  // tell the parent why exec failed
    (void)!::write(report[1], &why, sizeof why);
    ::_exit(127);
  }
  ::close(report[1]);
  int exec_error = 0;
  const ssize_t got = ::read(report[0], &exec_error, sizeof exec_error);
  ::close(report[0]);
  // Polled, so that a stop request of this process (catch_stop_signals) is passed on to the
  // program at once, and the caller can clean up after it.
  int status = 0;
  bool passed_on = false;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) break;
    if (!passed_on && stop_requested()) {
      ::kill(child, SIGTERM);
      passed_on = true;
    }
    ::usleep(10000);
  }
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    if (error) *error = argv[0] + ": " + std::strerror(exec_error);
    return -1;
  }
  return decode_status(status);
}

namespace {

// The variable that tells a program started by start_detached where its ready byte goes.
constexpr const char* ready_variable = "ZAM_DAEMON_READY";

// In the child: its own session, standard input from /dev/null, output to the log.
void detach_into(const std::string& log_path) {
  ::setsid();
  const int null_in = ::open("/dev/null", O_RDONLY);
  const int log = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (null_in >= 0) ::dup2(null_in, STDIN_FILENO);
  if (log >= 0) {
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
  }
}

// In the parent: waits for the child's ready byte, its exit (the pipe closes) or the
// time-out; a child that was not ready is stopped. Returns the child's id or -1.
int await_ready(int read_end, pid_t child, const std::string& log_path, uint32_t timeout_ms,
                std::string* error) {
  const uint32_t started = tick_ms();
  char byte = 0;
  bool ready = false;
  for (;;) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(read_end, &set);
    const uint32_t spent = tick_ms() - started;
    if (spent >= timeout_ms) break;
    timeval wait{static_cast<time_t>((timeout_ms - spent) / 1000),
                 static_cast<suseconds_t>((timeout_ms - spent) % 1000 * 1000)};
    const int n = ::select(read_end + 1, &set, nullptr, nullptr, &wait);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) ready = ::read(read_end, &byte, 1) == 1;
    break;
  }
  ::close(read_end);
  if (!ready) {
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (error) *error = "the daemon did not start (see " + log_path + ")";
    return -1;
  }
  return child;
}

}  // namespace

int start_daemon(const std::function<int(const std::function<void()>& ready)>& serve,
                 const std::string& log_path, uint32_t timeout_ms, std::string* error) {
  int ready_pipe[2];
  const pid_t child = fork_with_pipe(ready_pipe, error);
  if (child < 0) return -1;
  if (child == 0) {
    ::close(ready_pipe[0]);
    detach_into(log_path);
    const int write_end = ready_pipe[1];
    const int code = serve([write_end] {
      const char ok = 1;
      (void)!::write(write_end, &ok, 1);
    });
    ::_exit(code);
  }
  ::close(ready_pipe[1]);
  return await_ready(ready_pipe[0], child, log_path, timeout_ms, error);
}

int start_detached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& log_path, uint32_t timeout_ms, std::string* error) {
  int ready_pipe[2];
  const pid_t child = fork_with_pipe(ready_pipe, error);
  if (child < 0) return -1;
  if (child == 0) {
    ::close(ready_pipe[0]);
    detach_into(log_path);
    ::signal(SIGPIPE, SIG_DFL);  // catch_stop_signals ignores it, which exec would keep
    // The write end alone survives the exec; the program finds it in the environment.
    ::fcntl(ready_pipe[1], F_SETFD, 0);
    ::setenv(ready_variable, std::to_string(ready_pipe[1]).c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::fprintf(stderr, "%s: %s\n", program.c_str(), std::strerror(errno));
    ::_exit(127);
  }
  ::close(ready_pipe[1]);
  return await_ready(ready_pipe[0], child, log_path, timeout_ms, error);
}

void daemon_ready() {
  const std::string value = get_environment(ready_variable);
  if (value.empty()) return;
  unset_environment(ready_variable);
  char* end = nullptr;
  const long fd = std::strtol(value.c_str(), &end, 10);
  if (end == value.c_str() || *end != '\0' || fd < 0 || fd > INT_MAX) return;
  const char ok = 1;
  (void)!::write(static_cast<int>(fd), &ok, 1);
  ::close(static_cast<int>(fd));
}

std::string program_file_name(const std::string& name) { return name; }

std::string program_folder() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  const std::string path(buffer, static_cast<std::size_t>(length));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

int current_process_id() { return static_cast<int>(::getpid()); }

int current_user_id() { return static_cast<int>(::getuid()); }

bool process_alive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

bool request_stop(int pid) { return pid > 0 && ::kill(pid, SIGTERM) == 0; }

void catch_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

bool stop_requested() { return stop_flag != 0; }

int stop_signal() { return stop_flag; }

std::string get_environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

void set_environment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void unset_environment(const std::string& name) { ::unsetenv(name.c_str()); }

void binary_standard_output() {}

std::string temp_directory() {
  const std::string tmp = get_environment("TMPDIR");
  return tmp.empty() ? "/tmp" : tmp;
}

std::string runtime_directory() {
  const std::string runtime = get_environment("XDG_RUNTIME_DIR");
  struct stat info {};
  if (!runtime.empty() && ::stat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
      ::access(runtime.c_str(), W_OK) == 0) {
    return runtime;
  }
  return temp_directory();
}

std::string make_temp_folder(const std::string& prefix) {
  std::string pattern = temp_directory() + "/" + prefix + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;  // mkdtemp creates it mode 0700
}

}  // namespace platform
