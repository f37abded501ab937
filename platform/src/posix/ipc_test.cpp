// Local sockets on POSIX: the modes of the private folder and the socket; running programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ipc.h"
#include "platform/lab_secret.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

TEST(IpcModesTest, FolderAndSocketAreClosedToOthers) {
  const std::string folder = platform::make_temp_folder("ipc_modes_");
  ASSERT_FALSE(folder.empty());
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(platform::make_private_folder(folder));
  ::chmod(folder.c_str(), 0755);
  EXPECT_FALSE(platform::make_private_folder(folder));
  ::chmod(folder.c_str(), 0700);

  const std::string socket = folder + "/lab.sock";
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket));
  ASSERT_EQ(::stat(socket.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  listener.close();
  fs::remove_all(folder);
}

// The secret's file is the user's alone whatever the umask, and what stood at its path
// before (a readable file, a link to elsewhere) is replaced, never written through.
TEST(IpcModesTest, PrivateFilesAreOwnerOnlyAndReplaceWhatWasThere) {
  const std::string folder = platform::make_temp_folder("ipc_private_");
  ASSERT_FALSE(folder.empty());
  const std::string file = folder + "/tcp-4711.secret";
  const std::string elsewhere = folder + "/elsewhere";
  const auto read = [](const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const mode_t old_mask = ::umask(0);
  { std::ofstream(elsewhere) << "keep me\n"; }
  ::chmod(elsewhere.c_str(), 0644);
  for (const bool through_link : {false, true}) {
    fs::remove(file);
    if (through_link) {
      fs::create_symlink(elsewhere, file);
    } else {
      std::ofstream(file) << "an older, longer and readable file\n";
      ::chmod(file.c_str(), 0644);
    }
    std::string error;
    ASSERT_TRUE(platform::write_private_file(file, "0123abcd\n", &error)) << error;
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << through_link;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << through_link;
    EXPECT_EQ(read(file), "0123abcd\n") << through_link;
    EXPECT_EQ(read(elsewhere), "keep me\n") << through_link;
  }
  ::umask(old_mask);
  std::string error;
  EXPECT_FALSE(platform::write_private_file(folder + "/missing/tcp.secret", "x", &error));
  EXPECT_EQ(error.rfind(folder + "/missing/tcp.secret: ", 0), 0u) << error;
  fs::remove_all(folder);
}

TEST(ProcessTest, RunProgramPassesEnvironmentAndExitCode) {
  std::string error;
  EXPECT_EQ(platform::run_program({"sh", "-c", "test \"$ZAM_X\" = hello && exit 7"}, {{"ZAM_X", "hello"}}, &error), 7);
  EXPECT_EQ(platform::run_program({"sh", "-c", "kill -9 $$"}, {}, &error), 128 + 9);
  EXPECT_EQ(platform::run_program({"/no/such/program"}, {}, &error), -1);
  EXPECT_NE(error.find("/no/such/program"), std::string::npos);
}

}  // namespace
