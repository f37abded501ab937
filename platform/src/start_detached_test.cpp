// Detached daemons started as programs (start_detached), with the helper program
// platform_test_child: the starter returns once the program says it serves, not before and
// not after it ended; the program's output is appended to the log, its input is empty, its
// arguments arrive as given, and what it starts later never sees the starter.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/process.h"
#ifdef _WIN32
#include "error_text.h"
#endif

namespace {

std::string helper() {
  return platform::join_path(platform::program_folder(), platform::program_file_name("platform_test_child"));
}

std::string bytes_of(const std::string& path) {
  std::string content;
  platform::read_file(path, &content);
  return content;
}

class StartDetachedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::make_temp_folder("start_detached_");
    ASSERT_FALSE(folder_.empty());
    log_ = platform::join_path(folder_, "daemon.log");
  }
  void TearDown() override {
    for (const int pid : started_) platform::request_stop(pid);
    // A stopped helper lets go of its files a moment later on Windows.
    for (int i = 0; i < 100; ++i) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
      if (!std::filesystem::exists(folder_)) break;
      platform::sleep_ms(50);
    }
  }

  int start(const std::vector<std::string>& commands, uint32_t timeout_ms, std::string* error) {
    const int pid = platform::start_detached(helper(), commands, log_, timeout_ms, error);
    if (pid > 0) started_.push_back(pid);
    return pid;
  }

  // The log once it holds `text` (or after 20 s, whatever it holds then).
  std::string log_once_it_holds(const std::string& text) {
    for (int i = 0; i < 400 && bytes_of(log_).find(text) == std::string::npos; ++i) platform::sleep_ms(50);
    return bytes_of(log_);
  }

  std::string folder_, log_;
  std::vector<int> started_;
};

TEST_F(StartDetachedTest, ReturnsOnceReadyAndTheProgramServesOn) {
  {
    std::ofstream earlier(log_, std::ios::binary);
    earlier << "earlier run\n";
  }
  std::string error;
  // Written before "ready": in the log by the time the starter returns.
  const int pid = start({"out", "a \"quoted\" arg\n", "stdin", "ready", "env", "ZAM_DAEMON_READY", "out", "served\n",
                         "sleep", "60000"},
                        20000, &error);
  ASSERT_GT(pid, 0) << error;
  EXPECT_EQ(error, "");
  EXPECT_NE(pid, platform::current_process_id());
  EXPECT_EQ(bytes_of(log_).rfind("earlier run\na \"quoted\" arg\nstdin 0\n", 0), 0u) << bytes_of(log_);
  EXPECT_EQ(log_once_it_holds("served\n"), "earlier run\na \"quoted\" arg\nstdin 0\nZAM_DAEMON_READY unset\nserved\n");
  EXPECT_TRUE(platform::process_alive(pid));
  // The starter's own environment is as it was.
  EXPECT_EQ(platform::get_environment("ZAM_DAEMON_READY"), "");
}

TEST_F(StartDetachedTest, ProgramThatEndsOrIsNeverReadyIsAFailure) {
  const std::string beats = platform::join_path(folder_, "beats");
  struct case_t {
    const char* what;
    std::vector<std::string> commands;
    uint32_t timeout_ms;
    const char* logged;
  };
  const case_t cases[] = {
      {"ends before it is ready", {"out", "giving up\n", "exit", "3"}, 60000, "giving up\n"},
      {"never ready", {"out", "busy\n", "beat", beats}, 300, "busy\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_EQ(start(c.commands, c.timeout_ms, &error), -1);
    EXPECT_EQ(error, "the daemon did not start (see " + log_ + ")");
    EXPECT_NE(bytes_of(log_).find(c.logged), std::string::npos) << bytes_of(log_);
  }
  // The program that was never ready has been stopped: its beats stop.
  const std::size_t beaten = bytes_of(beats).size();
  EXPECT_GT(beaten, 0u);
  platform::sleep_ms(300);
  EXPECT_EQ(bytes_of(beats).size(), beaten);
}

TEST_F(StartDetachedTest, ProgramThatCannotBeStarted) {
  const std::string missing = platform::join_path(folder_, platform::program_file_name("no_such_program"));
  std::string error;
  EXPECT_EQ(platform::start_detached(missing, {"ready"}, log_, 20000, &error), -1);
#ifdef _WIN32
  EXPECT_EQ(error, missing + ": " + platform::detail::windows_error_text(2));  // ERROR_FILE_NOT_FOUND
#else
  // The child was made: it says in the log why the program did not start.
  EXPECT_EQ(error, "the daemon did not start (see " + log_ + ")");
  EXPECT_EQ(bytes_of(log_), missing + ": " + std::strerror(ENOENT) + "\n");
#endif
}

}  // namespace
