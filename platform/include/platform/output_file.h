// Files a program writes (logs, reports, uploads, settings): open, write, close, each with
// the system's reason when it fails, and a seam through which tests make any step fail.
//
// Every write is handed to the system at once: nothing is held in the process, so there is
// no separate flush step and a program that dies keeps everything written before.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class output_mode {
  create,  // create the file, or empty the one there
  append,  // create the file, or add to the end of the one there
};

// Text mode turns each "\n" into native_line_end (CR LF on Windows), as a text-mode C
// stream does; binary mode writes the bytes as they are.
enum class output_kind { binary, text };

class output_file {
 public:
  output_file() = default;
  ~output_file();  // closes an open file without a report: call close() to learn the result
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // False with the system's reason (the file stays closed) when the file cannot be opened.
  bool open(const std::string& path, output_mode mode, output_kind kind, std::string* reason = nullptr);
  // Writes every byte or returns false with the reason (no space, I/O error, not open).
  bool write(std::string_view bytes, std::string* reason = nullptr);
  // Closes the file; false with the reason when the system reports a failure at close.
  // The file is closed either way.
  bool close(std::string* reason = nullptr);

  bool is_open() const { return handle_ != closed; }
  const std::string& path() const { return path_; }

 private:
  static constexpr std::intptr_t closed = -1;
  std::intptr_t handle_ = closed;
  output_kind kind_ = output_kind::binary;
  std::string path_;
};

// Writes a whole file in one go: open, write, close; false with the reason of the step
// that failed.
bool write_whole_file(const std::string& path, std::string_view bytes, output_kind kind,
                      std::string* reason = nullptr);

// Test seam. The steps of an output file that can be made to fail.
enum class file_step { open, write, close };

// A hook returns the reason a step on a file (the path as the program gave it) is to fail
// with, or nothing to let the step run. nullptr restores the real files.
using file_fault_hook = std::function<std::optional<std::string>(file_step step, const std::string& path)>;
void set_file_fault_hook(file_fault_hook hook);

// Without a hook, the environment variable ZAM_FILE_FAULTS plans failures across processes:
// rules separated by ";", each STEP:PATTERN or STEP:PATTERN:KIND, STEP one of open, write,
// close, PATTERN a wildcard_match pattern on the path, KIND one of nospace, io, denied
// (default: denied for open, io otherwise). The reason is the system's text for that kind.
// Returns the reason a step is to fail with, from the hook or the variable.
std::optional<std::string> planned_file_fault(file_step step, const std::string& path);

}  // namespace platform
