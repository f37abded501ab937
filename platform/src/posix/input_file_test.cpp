// Input files: regular files only, up to the reader's limit, and why anything else is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/input_file.h"

namespace {

namespace fs = std::filesystem;

TEST(InputFileTest, OnlyRegularFilesUpToTheLimitAreRead) {
  const fs::path dir = fs::temp_directory_path() / ("input_file_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string at_limit = (dir / "at_limit.ini").string();
  const std::string over_limit = (dir / "over_limit.ini").string();
  const std::string fifo = (dir / "fifo").string();
  const std::string link_to_device = (dir / "campaign.ini").string();
  { std::ofstream(at_limit, std::ios::binary) << std::string("a\0b\r\n", 5) << std::string(11, 'x'); }
  { std::ofstream(over_limit, std::ios::binary) << std::string(17, 'y'); }
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", link_to_device);

  std::string content, reason;
  ASSERT_TRUE(platform::read_input_file(at_limit, 16, &content, &reason)) << reason;
  EXPECT_EQ(content, std::string("a\0b\r\n", 5) + std::string(11, 'x')) << "every byte, as it is";
  EXPECT_TRUE(platform::is_input_file(at_limit, &reason));

  const struct {
    std::string path;
    std::string reason;
  } refused[] = {
      {over_limit, "larger than 16 bytes"},
      {dir.string(), "not a regular file"},
      {fifo, "not a regular file"},  // without waiting for a writer
      {link_to_device, "not a regular file"},
      {"/dev/full", "not a regular file"},
      {(dir / "missing").string(), "No such file or directory"},
  };
  for (const auto& file : refused) {
    content = "left over";
    reason.clear();
    EXPECT_FALSE(platform::read_input_file(file.path, 16, &content, &reason)) << file.path;
    EXPECT_EQ(reason, file.reason) << file.path;
    EXPECT_EQ(content, "") << file.path;
    if (file.path == over_limit) continue;  // a regular file, only too large to read whole
    reason.clear();
    EXPECT_FALSE(platform::is_input_file(file.path, &reason)) << file.path;
    EXPECT_EQ(reason, file.reason) << file.path;
  }
  fs::remove_all(dir);
}

}  // namespace
