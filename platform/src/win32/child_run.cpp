// Supervised program runs on Windows: CreateProcess into a job object, handles for the output
// file and the null device, a wait bounded by the time limit.
#include "platform/child_run.h"

#include <windows.h>

#include "command_line.h"
#include "environment_block.h"
#include "error_text.h"
#include "platform/clock.h"
#include "program_search.h"

namespace platform {
namespace {

// The exit code the processes of a run get when the time limit ends them.
constexpr DWORD timed_out_exit_code = ERROR_TIMEOUT;
// How long run_child waits, after ending a job, for its last process to be gone.
constexpr uint32_t job_end_wait_ms = 2000;

class owned_handle {
 public:
  explicit owned_handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~owned_handle() {
    if (h_ != nullptr) CloseHandle(h_);
  }
  owned_handle(const owned_handle&) = delete;
  owned_handle& operator=(const owned_handle&) = delete;
  HANDLE get() const { return h_; }
  void reset(HANDLE h = nullptr) {
    if (h_ != nullptr) CloseHandle(h_);
    h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

 private:
  HANDLE h_;
};

SECURITY_ATTRIBUTES inheritable() {
  SECURITY_ATTRIBUTES attributes {};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = TRUE;
  return attributes;
}

// An inheritable copy of one of this process's standard handles (null when it has none).
HANDLE inheritable_copy(DWORD which) {
  const HANDLE own = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (own == nullptr || own == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

// The output file, shared by standard output and error: emptied, or written at its end. With
// append-only access every write goes to the end, whoever else writes the file.
HANDLE open_output(const std::string& path, bool append) {
  SECURITY_ATTRIBUTES attributes = inheritable();
  return CreateFileA(path.c_str(), append ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                     append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE open_null_input() {
  SECURITY_ATTRIBUTES attributes = inheritable();
  return CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The standard handles the child gets: the redirected ones and inheritable copies of ours.
struct child_handles {
  owned_handle input, output, error_copy, input_copy;
  bool redirected = false;
  void close() {
    input.reset();
    output.reset();
    error_copy.reset();
    input_copy.reset();
  }
};

bool prepare_handles(const child_run_options& options, child_handles* handles, std::string* error) {
  if (!options.output_path.empty()) {
    const std::string path = detail::from_working_folder(options.output_path, options.working_folder);
    handles->output.reset(open_output(path, options.append_output));
    if (handles->output.get() == nullptr) {
      *error = path + ": " + detail::windows_error_text(GetLastError());
      return false;
    }
    handles->redirected = true;
  }
  if (options.input_from_null) {
    handles->input.reset(open_null_input());
    if (handles->input.get() == nullptr) {
      *error = "NUL: " + detail::windows_error_text(GetLastError());
      return false;
    }
    handles->redirected = true;
  }
  if (handles->redirected) {
    // All three are given once one is: the others stay the caller's.
    if (handles->input.get() == nullptr) handles->input_copy.reset(inheritable_copy(STD_INPUT_HANDLE));
    if (handles->output.get() == nullptr) {
      handles->output.reset(inheritable_copy(STD_OUTPUT_HANDLE));
      handles->error_copy.reset(inheritable_copy(STD_ERROR_HANDLE));
    }
  }
  return true;
}

// Waits, up to a bound, until no process of the job is left.
void wait_job_empty(HANDLE job) {
  const uint32_t started = tick_ms();
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info {};
  while (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr) &&
         info.ActiveProcesses > 0 && tick_ms() - started < job_end_wait_ms) {
    Sleep(5);
  }
}

}  // namespace

child_run_result run_child(const std::vector<std::string>& argv, const child_run_options& options) {
  child_run_result result;
  if (argv.empty()) {
    result.error = "no program given";
    return result;
  }
  if (!options.working_folder.empty()) {
    const DWORD attributes = GetFileAttributesA(options.working_folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      const DWORD why = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
      result.error = options.working_folder + ": " + detail::windows_error_text(why);
      return result;
    }
  }
  std::string search_error;
  const std::string program = detail::find_program(argv[0], options.working_folder, &search_error);
  if (program.empty()) {
    result.error = argv[0] + ": " + search_error;
    return result;
  }
  child_handles handles;
  if (!prepare_handles(options, &handles, &result.error)) return result;

  STARTUPINFOA startup {};
  startup.cb = sizeof startup;
  if (handles.redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.input.get() != nullptr ? handles.input.get() : handles.input_copy.get();
    startup.hStdOutput = handles.output.get();
    startup.hStdError = handles.error_copy.get() != nullptr ? handles.error_copy.get() : handles.output.get();
  }
  std::string block = detail::environment_block(detail::current_environment_entries(), options.extra_environment);
  std::string command_line = detail::command_line(argv);
  const char* folder = options.working_folder.empty() ? nullptr : options.working_folder.c_str();

  // Suspended until it is in the job, so nothing it starts can escape the time limit. In a
  // process group of its own, as on POSIX: Ctrl+C at the console reaches only the caller.
  const uint32_t started = tick_ms();
  PROCESS_INFORMATION child {};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP, block.data(), folder, &startup, &child)) {
    result.error = argv[0] + ": " + detail::windows_error_text(GetLastError());
    return result;
  }
  owned_handle process(child.hProcess), thread(child.hThread);
  handles.close();  // the child has its copies; ours would keep the output file open
  // Where the job cannot be had (an older system that does not nest jobs), the time limit
  // ends the child alone.
  owned_handle job(CreateJobObjectA(nullptr, nullptr));
  if (job.get() != nullptr && !AssignProcessToJobObject(job.get(), process.get())) job.reset();
  ResumeThread(thread.get());
  result.started = true;

  // Waited for in slices while a stop request of this process is to end the child too.
  const DWORD limit = options.timeout_ms == 0 ? INFINITE : options.timeout_ms;
  const DWORD slice = options.stop_on_request ? 20 : limit;
  DWORD waited = 0;
  DWORD wait = WaitForSingleObject(process.get(), limit < slice ? limit : slice);
  while (wait == WAIT_TIMEOUT && options.stop_on_request && !stop_requested()) {
    waited += slice;
    if (limit != INFINITE && waited >= limit) break;
    wait = WaitForSingleObject(process.get(), limit == INFINITE || limit - waited > slice ? slice : limit - waited);
  }
  if (wait == WAIT_TIMEOUT) {
    result.stopped = options.stop_on_request && stop_requested();
    result.timed_out = !result.stopped;
    // No SIGTERM here: a console program can only be asked to stop through a console both
    // share, which a supervised run need not have. So the POSIX two-second grace becomes an
    // immediate end of the whole job, and then a wait of up to two seconds for its last
    // processes to be gone (their files closed).
    if (job.get() != nullptr) {
      TerminateJobObject(job.get(), timed_out_exit_code);
    } else {
      TerminateProcess(process.get(), timed_out_exit_code);
    }
    WaitForSingleObject(process.get(), INFINITE);
    if (job.get() != nullptr) wait_job_empty(job.get());
  }
  result.elapsed_ms = tick_ms() - started;
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  result.exit_code = static_cast<int>(code);  // the whole 32-bit value
  return result;
}

}  // namespace platform
