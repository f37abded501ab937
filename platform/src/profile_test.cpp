// Profile files: the Windows profile-function behaviour, case by case.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/fs.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "profile_cases.h"

namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("profile_test_" + std::to_string(platform::current_process_id()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& content) {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

TEST_F(ProfileTest, ReadsLikeWindowsProfileFunctions) {
  const auto path = write("app.ini",
                          "; a comment line\r\n"
                          "[DLL]\r\n"
                          "  DLLName   =   Pellor.dll  \r\n"
                          "dllname=Second.dll\r\n"
                          "Quoted=\"  spaced value \"\r\n"
                          "Single='x'\r\n"
                          "Mismatched=\"abc'\r\n"
                          ";Hidden=1\r\n"
                          "Empty=\r\n"
                          "[Other]\r\n"
                          "DLLName=Wrong.dll\r\n");
  struct row {
    const char* section;
    const char* key;
    const char* expected;
  } rows[] = {
      {"DLL", "DLLName", "Pellor.dll"},          // blanks dropped, first match wins
      {"dll", "DLLNAME", "Pellor.dll"},          // section and key without regard to case
      {"DLL", "Quoted", "  spaced value "},      // matching quotes removed, inside kept
      {"DLL", "Single", "x"},
      {"DLL", "Mismatched", "\"abc'"},           // quotes that do not match stay
      {"DLL", "Hidden", "default"},              // commented out
      {"DLL", "Empty", ""},                      // present but empty is not the default
      {"Other", "DLLName", "Wrong.dll"},
      {"Missing", "DLLName", "default"},
      {"DLL", "Missing", "default"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(platform::read_profile_string(r.section, r.key, "default", path), r.expected)
        << r.section << "/" << r.key;
  }
  EXPECT_EQ(platform::read_profile_string("DLL", "DLLName", "default", (dir_ / "none.ini").string()),
            "default");
}

TEST_F(ProfileTest, CutsToBufferSizeMinusOne) {
  const auto path = write("cut.ini", "[S]\nKey=0123456789\n");
  EXPECT_EQ(platform::read_profile_string("S", "Key", "", path, 5), "0123");
  EXPECT_EQ(platform::read_profile_string("S", "Key", "", path, 1), "");
  EXPECT_EQ(platform::read_profile_string("S", "Key", "", path, 0), "");
  EXPECT_EQ(platform::read_profile_string("S", "None", "Dll not found", path, 4), "Dll");

  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(platform::get_profile_string("S", "Key", "", buffer, sizeof buffer, path.c_str()), 5u);
  EXPECT_STREQ(buffer, "01234");
  EXPECT_EQ(platform::get_profile_string("S", "Nope", "ab", buffer, sizeof buffer, path.c_str()), 2u);
  EXPECT_STREQ(buffer, "ab");
}

TEST_F(ProfileTest, BareNameResolvesInSystemSettingsFolder) {
  write("PCIECfgInfo.ini", "[CfgSpaceInfo]\nCfgSpaceLength=268435456\n");
  platform::set_environment("ZAM_SYSTEM_DIR", dir_.string());
  EXPECT_EQ(platform::resolve_profile_path("PCIECfgInfo.ini"),
            platform::join_path(dir_.string(), "PCIECfgInfo.ini"));
  EXPECT_EQ(platform::read_profile_string("CfgSpaceInfo", "CfgSpaceLength", "52428800", "PCIECfgInfo.ini"),
            "268435456");
  platform::unset_environment("ZAM_SYSTEM_DIR");
  // A path with a folder is used as given, foreign separators made native.
  EXPECT_EQ(platform::resolve_profile_path("ini\\KALIXapp.ini"), platform::join_path("ini", "KALIXapp.ini"));
  EXPECT_EQ(platform::resolve_profile_path("ini/KALIXapp.ini"), platform::join_path("ini", "KALIXapp.ini"));
}

TEST_F(ProfileTest, WriteCreatesReplacesAppendsAndKeepsOtherLines) {
  const auto fresh = (dir_ / "new.ini").string();
  ASSERT_TRUE(platform::write_profile_string("Slot1", "Tested", "1", fresh));
  EXPECT_EQ(read(fresh), "[Slot1]\nTested=1\n");

  const auto path = write("keep.ini",
                          "; header comment\r\n"
                          "[A]\r\n"
                          "One = 1\r\n"
                          "\r\n"
                          "[B]\r\n"
                          "Two=2\r\n");
  ASSERT_TRUE(platform::write_profile_string("a", "ONE", "111", path));  // in place, key spelling kept
  ASSERT_TRUE(platform::write_profile_string("A", "Three", "3", path));  // end of its section
  ASSERT_TRUE(platform::write_profile_string("C", "Four", "4", path));   // new section at the end
  EXPECT_EQ(read(path),
            "; header comment\r\n"
            "[A]\r\n"
            "One=111\r\n"
            "Three=3\r\n"
            "\r\n"
            "[B]\r\n"
            "Two=2\r\n"
            "[C]\r\n"
            "Four=4\r\n");
  EXPECT_EQ(platform::read_profile_string("A", "one", "", path), "111");
  EXPECT_FALSE(platform::write_profile_string("A", "K", "v", (dir_ / "no/such/folder/x.ini").string()));
}

// A write that fails names the file and the reason and leaves the old file whole.
TEST_F(ProfileTest, FailedWriteSaysWhichFileAndWhyAndKeepsTheOldFile) {
  const auto path = write("kept.ini", "[A]\nOne=1\n");
  const std::string temp = path + ".tmp";
  platform::set_file_fault_hook([&](platform::file_step step, const std::string& file) -> std::optional<std::string> {
    if (step == platform::file_step::write && file == temp) return "No space left on device";
    return std::nullopt;
  });
  std::string reason;
  EXPECT_FALSE(platform::write_profile_string("A", "One", "2", path, &reason));
  platform::set_file_fault_hook(nullptr);
  EXPECT_EQ(reason, temp + ": No space left on device");
  EXPECT_EQ(read(path), "[A]\nOne=1\n");
  EXPECT_FALSE(fs::exists(temp));

  const auto folder = (dir_ / "taken.ini").string();  // a folder where the file should be
  fs::create_directories(folder);
  reason.clear();
  EXPECT_FALSE(platform::write_profile_string("A", "One", "2", folder, &reason));
  EXPECT_EQ(reason.rfind(folder + ": ", 0), 0u) << reason;
  EXPECT_GT(reason.size(), folder.size() + 2);
  EXPECT_FALSE(fs::exists(folder + ".tmp"));
}

// The shared table of profile files: our reader gives what the Windows functions give.
// A profile path that names no regular file, or a file too large to be a profile, gives the
// defaults with one line per file, and is never replaced by a write.
TEST_F(ProfileTest, WhatIsNotARegularFileOfProfileSizeIsRefused) {
  std::vector<std::pair<std::string, std::string>> refused = {
      {dir_.string(), "not a regular file"},
      {write("big.ini", "[S]\nKey=1\n" + std::string(platform::max_profile_file_bytes, ';')),
       "larger than 1048576 bytes"},
  };
#ifndef _WIN32
  const std::string campaign = (dir_ / "campaign.ini").string();
  fs::create_symlink("/dev/full", campaign);
  refused.emplace_back(campaign, "not a regular file");
#endif
  for (const auto& [path, reason] : refused) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(platform::read_profile_string("S", "Key", "dflt", path), "dflt") << path;
    EXPECT_EQ(platform::read_profile_string("S", "Other", "", path), "") << path;
    EXPECT_FALSE(platform::write_profile_string("S", "Key", "2", path)) << path;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "profile: cannot read " + path + ": " + reason + "; its values are not used\n");
  }
#ifndef _WIN32
  EXPECT_TRUE(fs::is_symlink(campaign)) << "the link was not written over";
#endif
  EXPECT_EQ(fs::file_size(refused[1].first), 10 + platform::max_profile_file_bytes) << "kept as it was";
  // A file of the largest size still reads.
  const std::string largest = write("largest.ini", "[S]\nKey=1\n" + std::string(platform::max_profile_file_bytes - 10, ';'));
  EXPECT_EQ(platform::read_profile_string("S", "Key", "dflt", largest), "1");
}

TEST_F(ProfileTest, AgreesWithTheSharedTableOfProfileFiles) {
  for (const auto& c : platform::testing::profile_cases) {
    const std::string path = (dir_ / (std::string(c.name) + ".ini")).string();
    if (c.content != nullptr) write(std::string(c.name) + ".ini", c.content);
    EXPECT_EQ(platform::read_profile_string(c.section, c.key, c.default_value, path, c.buffer_size),
              c.expected)
        << c.name;
  }
}

}  // namespace
