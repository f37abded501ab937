// Files and paths: pattern matching, listing, deletion and its test seam.
#include "platform/fs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(FsTest, WildcardMatchIgnoresCase) {
  EXPECT_TRUE(platform::wildcard_match("OEM*.inf", "oem12.INF"));
  EXPECT_TRUE(platform::wildcard_match("OEM*.inf", "OEM.inf"));
  EXPECT_FALSE(platform::wildcard_match("OEM*.inf", "oem12.inf.bak"));
  EXPECT_FALSE(platform::wildcard_match("OEM*.inf", "xoem1.inf"));
  EXPECT_TRUE(platform::wildcard_match("a?c", "ABC"));
  EXPECT_FALSE(platform::wildcard_match("a?c", "ac"));
  EXPECT_TRUE(platform::wildcard_match("*", ""));
  EXPECT_TRUE(platform::wildcard_match("*a*a*a*b", "aaaaaaaaaaaaaaaaaaab"));
  EXPECT_FALSE(platform::wildcard_match("*a*a*a*b", std::string(5000, 'a')));
}

TEST(FsTest, SameFileNameIgnoresCaseOnly) {
  EXPECT_TRUE(platform::same_file_name("OEM1.PNF", "oem1.pnf"));
  EXPECT_FALSE(platform::same_file_name("oem1.pnf", "oem1.pnf "));
  EXPECT_FALSE(platform::same_file_name("oem?.pnf", "oem1.pnf"));  // no wildcards
  EXPECT_TRUE(platform::same_file_name("", ""));
}

TEST(FsTest, FolderAndFileReadsReportWhyTheyFail) {
  const fs::path dir = fs::temp_directory_path() / ("fs_read_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "oem1.inf", std::ios::binary) << std::string(70000, 'a') << "\r\nend";
  std::vector<std::string> names{"stale"};
  std::string reason;
  EXPECT_TRUE(platform::try_list_folder(dir.string(), "*.INF", &names, &reason));
  EXPECT_EQ(names, std::vector<std::string>{"oem1.inf"});
  EXPECT_FALSE(platform::try_list_folder((dir / "missing").string(), "*", &names, &reason));
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_FALSE(platform::try_list_folder((dir / "oem1.inf").string(), "*", &names, &reason));
  EXPECT_EQ(reason, "Not a directory");

  std::string content;
  EXPECT_TRUE(platform::read_file((dir / "oem1.inf").string(), &content, &reason));
  EXPECT_EQ(content, std::string(70000, 'a') + "\r\nend");  // more than one read's worth
  EXPECT_FALSE(platform::read_file((dir / "missing").string(), &content, &reason));
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_FALSE(platform::read_file(dir.string(), &content, &reason));
  EXPECT_EQ(reason, "Is a directory");
  fs::remove_all(dir);
}

TEST(FsTest, PathsJoinWithOneNativeSeparator) {
  EXPECT_EQ(platform::join_path("dir", "f"), "dir/f");
  EXPECT_EQ(platform::join_path("dir/", "f"), "dir/f");
  EXPECT_EQ(platform::join_path("", "f"), "f");
  EXPECT_EQ(platform::native_path("C:\\Windows\\inf\\"), "C:/Windows/inf/");
  EXPECT_FALSE(platform::current_directory().empty());
  EXPECT_NE(platform::current_directory().back(), '/');
  EXPECT_TRUE(platform::is_absolute_path("/tmp/x"));
  EXPECT_FALSE(platform::is_absolute_path("tmp/x"));
  EXPECT_FALSE(platform::is_absolute_path("C:/x"));  // a drive is a Windows thing
  EXPECT_FALSE(platform::is_absolute_path(""));
}

TEST(FsTest, ListsOnlyMatchingRegularFiles) {
  const fs::path dir = fs::temp_directory_path() / ("fs_test_" + std::to_string(::getpid()));
  fs::create_directories(dir / "OEM9.inf");  // a folder with a matching name
  for (const char* name : {"oem1.inf", "OEM2.INF", "other.inf", "oem3.pnf"}) {
    std::ofstream(dir / name) << "x";
  }
  auto names = platform::list_folder(dir.string(), "OEM*.inf");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"OEM2.INF", "oem1.inf"}));
  EXPECT_TRUE(platform::list_folder((dir / "missing").string(), "*").empty());

  EXPECT_TRUE(platform::can_open_for_reading((dir / "oem1.inf").string()));
  EXPECT_FALSE(platform::can_open_for_reading((dir / "OEM9.inf").string()));
  EXPECT_TRUE(platform::delete_file((dir / "oem1.inf").string()));
  EXPECT_FALSE(platform::can_open_for_reading((dir / "oem1.inf").string()));
  std::string reason;
  EXPECT_FALSE(platform::delete_file((dir / "oem1.inf").string(), &reason));
  EXPECT_EQ(reason, "No such file or directory");

  platform::set_delete_hook([](const std::string&, std::string& why) {
    why = "Device or resource busy";
    return false;
  });
  EXPECT_FALSE(platform::delete_file((dir / "OEM2.INF").string(), &reason));
  EXPECT_EQ(reason, "Device or resource busy");
  platform::set_delete_hook(nullptr);
  EXPECT_TRUE(fs::exists(dir / "OEM2.INF"));
  EXPECT_TRUE(platform::delete_file((dir / "OEM2.INF").string()));
  fs::remove_all(dir);
}

}  // namespace

namespace {

TEST(FsTest, CreatesMissingFoldersAndRefusesAFileInTheWay) {
  const fs::path base = fs::temp_directory_path() / ("fs_create_" + std::to_string(::getpid()));
  fs::remove_all(base);
  EXPECT_TRUE(platform::create_folders((base / "logs" / "deeper").string()));
  EXPECT_TRUE(fs::is_directory(base / "logs" / "deeper"));
  EXPECT_TRUE(platform::create_folders((base / "logs").string() + "/"));  // exists already
  std::ofstream(base / "file") << "x";
  EXPECT_FALSE(platform::create_folders((base / "file").string()));
  EXPECT_FALSE(platform::create_folders((base / "file" / "below").string()));
  EXPECT_FALSE(platform::create_folders(""));
  fs::remove_all(base);
}

}  // namespace

namespace {

TEST(FsTest, SymbolicLinkIsMadeReplacedButNeverOverAFile) {
  const fs::path folder = fs::temp_directory_path() / ("fs_link_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "a") << "A";
  std::ofstream(folder / "b") << "B";
  std::ofstream(folder / "plain") << "P";
  const std::string link = (folder / "l").string();
  EXPECT_TRUE(platform::make_symbolic_link((folder / "a").string(), link));
  EXPECT_EQ(fs::read_symlink(link), folder / "a");
  EXPECT_TRUE(platform::make_symbolic_link((folder / "b").string(), link));  // an old link is replaced
  EXPECT_EQ(fs::read_symlink(link), folder / "b");
  std::string reason;
  EXPECT_FALSE(platform::make_symbolic_link((folder / "a").string(), (folder / "plain").string(), &reason));
  EXPECT_EQ(reason, "File exists");
  std::ifstream plain(folder / "plain");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(plain), {}), "P");
  // link_file is a symbolic link here.
  EXPECT_TRUE(platform::link_file((folder / "a").string(), link));
  EXPECT_EQ(fs::read_symlink(link), folder / "a");
  fs::remove_all(folder);
}

TEST(FsTest, TextFilesReadAsTheyAre) {
  const fs::path file = fs::temp_directory_path() / ("fs_text_" + std::to_string(::getpid()));
  std::ofstream(file, std::ios::binary) << "a\r\nb\rc\n";
  std::string text;
  ASSERT_TRUE(platform::read_text_file(file.string(), &text));
  EXPECT_EQ(text, "a\r\nb\rc\n");
  fs::remove(file);
  std::string reason;
  EXPECT_FALSE(platform::read_text_file(file.string(), &text, &reason));
  EXPECT_EQ(reason, "No such file or directory");
}

}  // namespace
