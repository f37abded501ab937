// Processes on Windows: CreateProcessA, console control events, the environment, temp folders.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "error_text.h"
#include "platform/process.h"

namespace platform {
namespace {

// The POSIX number of the signal that stands for the console event; 0 while none came.
std::atomic<int> stop_flag{0};

BOOL WINAPI on_console_control(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: stop_flag = 2; return TRUE;
    case CTRL_BREAK_EVENT: stop_flag = 15; return TRUE;
    case CTRL_CLOSE_EVENT: stop_flag = 1; return TRUE;
    default: return FALSE;
  }
}

std::string without_trailing_separator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

int run_program(const std::vector<std::string>& argv, const environment_list& extra,
                std::string* error) {
  if (argv.empty()) {
    if (error) *error = "no program given";
    return -1;
  }
  std::string command_line = detail::command_line(argv);
  // The child inherits this process's environment with the extra variables set; the
  // parent's own values are restored afterwards.
  environment_list saved;
  for (const auto& [name, value] : extra) {
    saved.emplace_back(name, get_environment(name));
    set_environment(name, value);
  }
  STARTUPINFOA startup {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child {};
  const BOOL started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &child);
  const DWORD start_error = started ? 0 : GetLastError();
  for (const auto& [name, value] : saved) {
    if (value.empty()) {
      unset_environment(name);
    } else {
      set_environment(name, value);
    }
  }
  if (!started) {
    if (error) *error = argv[0] + ": " + detail::windows_error_text(start_error);
    return -1;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return static_cast<int>(code);  // the whole 32-bit status, as Windows reports it
}

int start_daemon(const std::function<int(const std::function<void()>& ready)>&,
                 const std::string&, uint32_t, std::string* error) {
  if (error) *error = "a background daemon cannot be forked on Windows (start the program detached instead)";
  return -1;
}

namespace {

// The variable that names, in a program started by start_detached, the inherited event it
// sets once it serves.
constexpr const char* ready_variable = "ZAM_DAEMON_READY";

struct owned_handle {
  HANDLE value = nullptr;
  owned_handle() = default;
  explicit owned_handle(HANDLE h) : value(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  owned_handle(const owned_handle&) = delete;
  owned_handle& operator=(const owned_handle&) = delete;
  ~owned_handle() {
    if (value != nullptr) CloseHandle(value);
  }
};

// Creates the process with only `handles` inherited, so the daemon keeps no pipe of its
// starter's open (a caller reading the starter's output would wait for the daemon's end).
// Where the attribute list is not available, every inheritable handle goes along.
BOOL create_with_handles(const std::string& program, std::string& command_line, DWORD flags, STARTUPINFOA& startup,
                         std::vector<HANDLE>& handles, PROCESS_INFORMATION& child) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> storage(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (size != 0 && InitializeProcThreadAttributeList(list, 1, 0, &size)) {
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                  handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      STARTUPINFOEXA extended{};
      extended.StartupInfo = startup;
      extended.StartupInfo.cb = sizeof extended;
      extended.lpAttributeList = list;
      const BOOL created = CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                          flags | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                          &extended.StartupInfo, &child);
      DeleteProcThreadAttributeList(list);
      if (created) return TRUE;
    } else {
      DeleteProcThreadAttributeList(list);
    }
  }
  return CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        nullptr, &startup, &child);
}

}  // namespace

int start_detached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& log_path, uint32_t timeout_ms, std::string* error) {
  SECURITY_ATTRIBUTES inherit{};
  inherit.nLength = sizeof inherit;
  inherit.bInheritHandle = TRUE;
  const owned_handle ready(CreateEventA(&inherit, TRUE, FALSE, nullptr));
  const owned_handle log(CreateFileA(log_path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (log.value == nullptr) {
    if (error) *error = "cannot open " + log_path + ": " + detail::windows_error_text(GetLastError());
    return -1;
  }
  const owned_handle null_in(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                         OPEN_EXISTING, 0, nullptr));
  if (ready.value == nullptr || null_in.value == nullptr) {
    if (error) *error = detail::windows_error_text(GetLastError());
    return -1;
  }
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string command_line = detail::command_line(argv);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in.value;
  startup.hStdOutput = log.value;
  startup.hStdError = log.value;
  std::vector<HANDLE> handles{ready.value, null_in.value, log.value};
  // Inherited handles keep their values: the child finds the event by its number.
  const std::string saved = get_environment(ready_variable);
  set_environment(ready_variable, std::to_string(reinterpret_cast<uintptr_t>(ready.value)));
  PROCESS_INFORMATION child{};
  const BOOL started = create_with_handles(program, command_line, DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, startup,
                                           handles, child);
  const DWORD start_error = started ? 0 : GetLastError();
  if (saved.empty()) {
    unset_environment(ready_variable);
  } else {
    set_environment(ready_variable, saved);
  }
  if (!started) {
    if (error) *error = program + ": " + detail::windows_error_text(start_error);
    return -1;
  }
  const owned_handle process(child.hProcess);
  CloseHandle(child.hThread);
  // Ready, or ended (the event is then never set), or out of time.
  const HANDLE waits[2] = {ready.value, process.value};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeout_ms);
  if (woke == WAIT_OBJECT_0) return static_cast<int>(child.dwProcessId);
  TerminateProcess(process.value, 1);
  WaitForSingleObject(process.value, INFINITE);
  if (error) *error = "the daemon did not start (see " + log_path + ")";
  return -1;
}

void daemon_ready() {
  const std::string value = get_environment(ready_variable);
  if (value.empty()) return;
  unset_environment(ready_variable);
  char* end = nullptr;
  const unsigned long long number = std::strtoull(value.c_str(), &end, 10);
  if (end == value.c_str() || *end != '\0' || number == 0) return;
  const HANDLE event = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(number));
  SetEvent(event);
  CloseHandle(event);
}

std::string program_file_name(const std::string& name) { return name + ".exe"; }

std::string program_folder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return {};
  const std::string full(path, length);
  const auto slash = full.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

int current_process_id() { return static_cast<int>(GetCurrentProcessId()); }

// Windows has no numeric user id; folders are private through their access lists instead.
int current_user_id() { return 0; }

bool process_alive(int pid) {
  if (pid <= 0) return false;
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return alive;
}

bool request_stop(int pid) {
  if (pid <= 0) return false;
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return false;
  const bool stopped = TerminateProcess(process, 1) != 0;
  CloseHandle(process);
  return stopped;
}

void catch_stop_signals() { SetConsoleCtrlHandler(on_console_control, TRUE); }

bool stop_requested() { return stop_flag != 0; }

int stop_signal() { return stop_flag; }

std::string get_environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

// _putenv_s keeps the C runtime's copy (getenv) and the process block in step.
void set_environment(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

void unset_environment(const std::string& name) { _putenv_s(name.c_str(), ""); }

void binary_standard_output() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

std::string temp_directory() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof path, path);
  if (length == 0 || length > MAX_PATH) return ".";
  return without_trailing_separator(std::string(path, length));
}

std::string runtime_directory() { return temp_directory(); }

std::string make_temp_folder(const std::string& prefix) {
  const std::string base = temp_directory() + "\\" + prefix + std::to_string(GetCurrentProcessId());
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::string path = base + "-" + std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace platform
