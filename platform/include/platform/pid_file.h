// A file that names a running daemon: it holds the process id and stays locked for as long
// as the process lives, so a reader can tell a live owner from a file a killed process left.
#pragma once

#include <string>

namespace platform {

class pid_file {
 public:
  // Creates (or takes over a stale) `path`, writes this process's id and locks it. On
  // failure valid() is false and `reason` says why.
  explicit pid_file(std::string path, std::string* reason = nullptr);
  // Removes the file and lets go of the lock.
  ~pid_file();
  pid_file(const pid_file&) = delete;
  pid_file& operator=(const pid_file&) = delete;

  bool valid() const { return handle_ != invalid; }

 private:
#ifdef _WIN32
  using handle_type = void*;
  static constexpr handle_type invalid = nullptr;
#else
  using handle_type = int;
  static constexpr handle_type invalid = -1;
#endif
  std::string path_;
  handle_type handle_ = invalid;
};

// The id of the live process that holds the pid file at `path`; 0 when there is no file or
// its owner has ended (a stale file is then removed).
int live_pid_file_owner(const std::string& path);

}  // namespace platform
