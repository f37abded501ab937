// A person at a terminal, played through a pseudo-terminal: keys typed, screen read.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TerminalSession {
 public:
  explicit TerminalSession(const std::string& program) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::setenv("ZAM_OPERATOR", "tty", 1);
      ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~TerminalSession() {
    if (master_ >= 0) ::close(master_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool started() const { return pid_ > 0; }

  // Reads the screen until it shows the text (or five seconds pass); true when shown.
  bool wait_for(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (screen_.find(text, seen_) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pollfd out{master_, POLLIN, 0};
      if (::poll(&out, 1, 50) <= 0) continue;
      char bytes[512];
      const ssize_t got = ::read(master_, bytes, sizeof bytes);
      if (got <= 0) return screen_.find(text, seen_) != std::string::npos;
      screen_.append(bytes, static_cast<std::size_t>(got));
    }
    seen_ = screen_.find(text, seen_) + text.size();
    return true;
  }

  void type(const std::string& keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }

  int exit_code() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& screen() const { return screen_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
  std::size_t seen_ = 0;
};

std::string probe_path() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillet_dialog_probe").string();
}

TEST(TerminalDialogs, ListAndYesNoAnsweredByTypingThenNumberTimesOut) {
  TerminalSession terminal(probe_path());
  ASSERT_TRUE(terminal.started());
  ASSERT_TRUE(terminal.wait_for("=== Probe ===")) << terminal.screen();
  ASSERT_TRUE(terminal.wait_for("  2) BAR overlap")) << terminal.screen();
  ASSERT_TRUE(terminal.wait_for("Entry number (0 cancels) > ")) << terminal.screen();
  terminal.type("5\r");
  ASSERT_TRUE(terminal.wait_for("Please type an entry number from 1 to 3, or 0 to cancel.")) << terminal.screen();
  terminal.type("2\r");
  ASSERT_TRUE(terminal.wait_for("selected 1 timed out 0")) << terminal.screen();

  ASSERT_TRUE(terminal.wait_for("Did the system power on?")) << terminal.screen();
  ASSERT_TRUE(terminal.wait_for("[1] YES  [2] NO > ")) << terminal.screen();
  terminal.type("yes\r");
  ASSERT_TRUE(terminal.wait_for("answer yes input 1")) << terminal.screen();

  ASSERT_TRUE(terminal.wait_for("Number [Enter: 0] (answer within 300 ms) > ")) << terminal.screen();
  ASSERT_TRUE(terminal.wait_for("No answer within 300 ms: the dialog timed out.")) << terminal.screen();
  ASSERT_TRUE(terminal.wait_for("number status -1 timed out 1")) << terminal.screen();
  EXPECT_EQ(terminal.exit_code(), 0);
}

}  // namespace
