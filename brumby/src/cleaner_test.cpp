// The OEM INF cleaner in temporary folders: matching rules, companions, output bytes and
// exit codes, including a deletion that fails.
#include "cleaner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* banner = "Brumby\n-----------------------------------\n\n";
constexpr const char* guid = "{4d36e97d-e325-11ce-bfc1-08002be10318}";
constexpr const char* hwid = "PCI\\VEN_8086&DEV_1234";

class CleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("brumby_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    platform::set_delete_hook(nullptr);
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  void file(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::vector<std::string> left() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  int run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = brumby::run_cleaner(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return code;
  }

  fs::path dir_;
  std::string out_, err_;
};

TEST_F(CleanerTest, UsageOnWrongArgumentCount) {
  file("oem1.inf", "x");
  for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b", "c", "d"}}) {
    EXPECT_EQ(run(args), -1);
    EXPECT_EQ(out_, std::string(banner) +
                        "Usage: Brumby <infdir> [GUID] [HARDWAREID]\n"
                        "Without GUID and/or HARDWAREID all OEM*.inf files are deleted.\n");
  }
  EXPECT_EQ(left(), std::vector<std::string>{"oem1.inf"});
}

TEST_F(CleanerTest, FolderOnlyDeletesEveryOemInfAndCompanion) {
  file("oem1.inf", "[Version]\nClass=Net\n");
  file("oem1.pnf", "p");
  file("OEM2.INF", "");  // empty: still matches under this rule
  file("OEM2.pnf", "p");
  file("oem3.inf", "no companion");
  file("other.inf", "x");
  file("oem4.pnf", "orphan companion stays");
  fs::create_directory(dir_ / "oem5.inf");  // a folder, not a file
  EXPECT_EQ(run({dir_.string() + "/"}), 0);  // a trailing separator gives one separator
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 3\n");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem4.pnf", "oem5.inf", "other.inf"}));
}

TEST_F(CleanerTest, GuidAndHardwareIdRules) {
  file("oem1.inf", std::string("ClassGuid=") + guid + "\r\n[Models]\r\n%Dev%=Install," + hwid + "\r\n");
  file("oem2.inf", std::string("ClassGuid=") + guid + "\r\n");  // GUID only
  file("oem3.inf", "ClassGuid={4D36E97D-E325-11CE-BFC1-08002BE10318}\r\n");  // other letter case
  file("oem4.inf", std::string(guid) + " " + hwid);  // both on one line
  file("oem5.inf", "");
  EXPECT_EQ(run({dir_.string(), guid, hwid}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 2\n");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem2.inf", "oem3.inf", "oem5.inf"}));

  EXPECT_EQ(run({dir_.string(), guid}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 1\n");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem3.inf", "oem5.inf"}));
}

TEST_F(CleanerTest, MissingOrEmptyFolderDeletesNothing) {
  EXPECT_EQ(run({(dir_ / "missing").string()}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(run({dir_.string(), guid}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
}

TEST_F(CleanerTest, FailedDeletionIsReportedNotCounted) {
  file("oem1.inf", "a");
  file("oem1.pnf", "p");
  file("oem2.inf", "b");
  file("oem2.pnf", "p");
  platform::set_delete_hook([](const std::string& path, std::string& why) {
    if (path.find("oem1.inf") != std::string::npos) {
      why = "Permission denied";
      return false;
    }
    return fs::remove(path);
  });
  EXPECT_EQ(run({dir_.string()}), 1);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 1\n");
  EXPECT_EQ(err_, "Brumby: cannot delete " + (dir_ / "oem1.inf").string() + ": Permission denied\n");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem1.inf", "oem1.pnf"}));
}

TEST(CleanerNamesTest, PnfCompanionKeepsStemCase) {
  EXPECT_EQ(brumby::pnf_companion("OEM12.INF"), "OEM12.pnf");
  EXPECT_EQ(brumby::pnf_companion("oem12.inf"), "oem12.pnf");
  EXPECT_EQ(brumby::pnf_companion("Oem.1.Inf"), "Oem.1.pnf");
}

// The real program: exit codes as the shell sees them.
TEST_F(CleanerTest, ProgramExitCodes) {
  file("oem7.inf", "x");
  const std::string quiet = " >/dev/null 2>&1";
  int status = std::system((std::string(BRUMBY_EXE) + quiet).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);  // -1
  status = std::system((std::string(BRUMBY_EXE) + " '" + dir_.string() + "'" + quiet).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(left().empty());
}

}  // namespace
