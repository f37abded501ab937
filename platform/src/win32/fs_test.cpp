// Files and folders on Windows: creating, listing with wildcards, reading, deleting.
#include "platform/fs.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "platform/process.h"

namespace {

TEST(Win32FsTest, FoldersFilesAndListing) {
  const std::string dir = platform::make_temp_folder("fs_test_");
  ASSERT_FALSE(dir.empty());
  const std::string nested = platform::join_path(dir, "a\\b");
  EXPECT_TRUE(platform::create_folders(nested));
  EXPECT_TRUE(platform::file_exists(nested));
  EXPECT_FALSE(platform::can_open_for_reading(nested)) << "a folder is not a readable file";

  const std::string file = platform::join_path(dir, "OEM1.PNF");
  std::ofstream(file, std::ios::binary) << "twelve bytes";
  std::ofstream(platform::join_path(dir, "notes.txt")) << "x";
  EXPECT_TRUE(platform::can_open_for_reading(file));
  uint64_t size = 0;
  int64_t modified = 0;
  ASSERT_TRUE(platform::file_size_and_time(file, size, modified));
  EXPECT_EQ(size, 12u);
  EXPECT_GT(modified, 1600000000);
  EXPECT_FALSE(platform::file_size_and_time(nested, size, modified));

  std::string content;
  ASSERT_TRUE(platform::read_file(file, &content));
  EXPECT_EQ(content, "twelve bytes");
  std::string reason;
  EXPECT_FALSE(platform::read_file(platform::join_path(dir, "none"), &content, &reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_EQ(platform::list_folder(dir, "oem*.pnf"), std::vector<std::string>{"OEM1.PNF"});
  std::vector<std::string> names;
  EXPECT_FALSE(platform::try_list_folder(platform::join_path(dir, "missing"), "*", &names, &reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_TRUE(platform::delete_file(file));
  EXPECT_FALSE(platform::file_exists(file));
  EXPECT_FALSE(platform::delete_file(file, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(platform::current_directory().empty());
}

TEST(Win32FsTest, AbsolutePathsTextFilesAndFileLinks) {
  EXPECT_TRUE(platform::is_absolute_path("C:\\x"));
  EXPECT_TRUE(platform::is_absolute_path("z:\\"));
  EXPECT_TRUE(platform::is_absolute_path("\\work\\x"));
  EXPECT_TRUE(platform::is_absolute_path("\\\\server\\share"));
  EXPECT_FALSE(platform::is_absolute_path("C:x"));
  EXPECT_FALSE(platform::is_absolute_path("work\\x"));
  EXPECT_FALSE(platform::is_absolute_path(""));

  const std::string dir = platform::make_temp_folder("fs_text_");
  ASSERT_FALSE(dir.empty());
  const std::string file = platform::join_path(dir, "text.txt");
  std::ofstream(file, std::ios::binary) << "a\r\nb\rc\n\r\r\n";
  std::string text;
  ASSERT_TRUE(platform::read_text_file(file, &text));
  EXPECT_EQ(text, "a\nb\rc\n\r\n");  // only CR LF pairs lose their CR

  // A link to a file reads as the file; a file already there is replaced.
  const std::string link = platform::join_path(dir, "link.txt");
  std::ofstream(link) << "old";
  std::string reason;
  ASSERT_TRUE(platform::link_file(file, link, &reason)) << reason;
  std::string linked;
  ASSERT_TRUE(platform::read_file(link, &linked));
  EXPECT_EQ(linked, "a\r\nb\rc\n\r\r\n");
  // Linking again while the link is in use and cannot be deleted (as a loaded library is)
  // keeps the link; another file in use there is not replaced, and that is said.
  {
    const HANDLE held = CreateFileA(link.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(platform::link_file(file, link, &reason)) << reason;
    const std::string other = platform::join_path(dir, "other.txt");
    std::ofstream(other) << "other";
    reason.clear();
    EXPECT_FALSE(platform::link_file(other, link, &reason));
    EXPECT_FALSE(reason.empty());
    CloseHandle(held);
  }
  ASSERT_TRUE(platform::read_file(link, &linked));
  EXPECT_EQ(linked, "a\r\nb\rc\n\r\r\n");
  EXPECT_FALSE(platform::link_file(platform::join_path(dir, "none"), platform::join_path(dir, "l2"), &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(platform::file_exists(platform::join_path(dir, "l2")));
  std::filesystem::remove_all(dir);
}

}  // namespace
