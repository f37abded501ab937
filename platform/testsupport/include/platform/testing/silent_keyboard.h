// Test support: standard input taken over by a pipe nobody writes to, standing for an
// operator at the keyboard who never answers; the destructor gives standard input back.
// (The C runtime's descriptor calls differ in name only between POSIX and Windows.)
#pragma once

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform::testing {

class silent_keyboard {
 public:
  silent_keyboard() {
    if (make_pipe() != 0) return;
    saved_ = dup_fd(0);
    dup2_fd(keys_[0], 0);
  }
  silent_keyboard(const silent_keyboard&) = delete;
  silent_keyboard& operator=(const silent_keyboard&) = delete;
  ~silent_keyboard() {
    if (saved_ >= 0) {
      dup2_fd(saved_, 0);
      close_fd(saved_);
    }
    if (keys_[0] >= 0) close_fd(keys_[0]);
    if (keys_[1] >= 0) close_fd(keys_[1]);
  }

  // Whether standard input is the silent pipe now.
  bool ready() const { return saved_ >= 0; }

 private:
#ifdef _WIN32
  int make_pipe() { return ::_pipe(keys_, 4096, _O_BINARY); }
  static int dup_fd(int fd) { return ::_dup(fd); }
  static int dup2_fd(int from, int to) { return ::_dup2(from, to); }
  static int close_fd(int fd) { return ::_close(fd); }
#else
  int make_pipe() { return ::pipe(keys_); }
  static int dup_fd(int fd) { return ::dup(fd); }
  static int dup2_fd(int from, int to) { return ::dup2(from, to); }
  static int close_fd(int fd) { return ::close(fd); }
#endif

  int keys_[2] = {-1, -1};
  int saved_ = -1;
};

}  // namespace platform::testing
