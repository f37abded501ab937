// The shared table of profile files read with GetPrivateProfileStringA and with our reader.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "../profile_cases.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace {

class ProfileAgreementTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = platform::make_temp_folder("profile_agreement_"); }
  void TearDown() override {
    for (const auto& name : platform::list_folder(dir_, "*")) {
      platform::delete_file(platform::join_path(dir_, name));
    }
    RemoveDirectoryA(dir_.c_str());
  }
  std::string dir_;
};

TEST_F(ProfileAgreementTest, WindowsProfileFunctionsGiveTheTableValues) {
  ASSERT_FALSE(dir_.empty());
  for (const auto& c : platform::testing::profile_cases) {
    const std::string path = dir_ + "\\" + c.name + ".ini";
    if (c.content != nullptr) std::ofstream(path, std::ios::binary) << c.content;
    std::vector<char> buffer(c.buffer_size, 'x');
    const DWORD copied = GetPrivateProfileStringA(c.section, c.key, c.default_value, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
    EXPECT_EQ(std::string(buffer.data(), copied), c.expected) << c.name << " (Windows)";
    EXPECT_EQ(platform::read_profile_string(c.section, c.key, c.default_value, path, c.buffer_size),
              c.expected)
        << c.name << " (our reader)";
  }
}

TEST_F(ProfileAgreementTest, OurWritesReadBackThroughTheWindowsFunctions) {
  ASSERT_FALSE(dir_.empty());
  const std::string path = dir_ + "\\written.ini";
  ASSERT_TRUE(platform::write_profile_string("Card", "Slot", "3", path));
  ASSERT_TRUE(platform::write_profile_string("Card", "Name", "Zam 4", path));
  ASSERT_TRUE(platform::write_profile_string("Card", "Slot", "5", path));
  char buffer[64] = {};
  GetPrivateProfileStringA("card", "slot", "", buffer, sizeof buffer, path.c_str());
  EXPECT_STREQ(buffer, "5");
  GetPrivateProfileStringA("Card", "Name", "", buffer, sizeof buffer, path.c_str());
  EXPECT_STREQ(buffer, "Zam 4");
  ASSERT_TRUE(WritePrivateProfileStringA("Card", "Speed", "Gen2", path.c_str()));
  EXPECT_EQ(platform::read_profile_string("Card", "Speed", "", path), "Gen2");
  EXPECT_EQ(platform::read_profile_string("Card", "Slot", "", path), "5");
}

}  // namespace
