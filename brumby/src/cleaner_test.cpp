// The OEM INF cleaner in temporary folders: matching rules, companions, output bytes and
// exit codes, including a deletion that fails.
#include "cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_run.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/standard_options.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

// Why a folder cannot be listed, in the system's own words: the C library's on POSIX, the
// system's message on Windows (whose wording differs between Windows and wine).
std::string reason_for(const std::string& folder) {
#ifdef _WIN32
  std::vector<std::string> names;
  std::string reason;
  EXPECT_FALSE(platform::try_list_folder(folder, "*.inf", &names, &reason));
  EXPECT_FALSE(reason.empty());
  return reason;
#else
  return fs::exists(folder) ? "Not a directory" : "No such file or directory";
#endif
}

constexpr const char* banner = "Brumby\n-----------------------------------\n\n";
constexpr const char* guid = "{4d36e97d-e325-11ce-bfc1-08002be10318}";
constexpr const char* hwid = "PCI\\VEN_8086&DEV_1234";

class CleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("brumby_" + std::to_string(platform::current_process_id()) + "_" +
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

TEST_F(CleanerTest, LoneHelpAndVersionAreAnsweredNotCleaned) {
  // A folder named --help in the current folder is left alone by `Brumby --help`.
  fs::create_directory(dir_ / "--help");
  std::ofstream(dir_ / "--help" / "oem1.inf") << "x";
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_EQ(out_, std::string(banner) +
                      "Usage: Brumby <infdir> [GUID] [HARDWAREID]\n"
                      "Without GUID and/or HARDWAREID all OEM*.inf files are deleted.\n");
  EXPECT_TRUE(fs::exists(dir_ / "--help" / "oem1.inf"));
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_EQ(out_, std::string("Brumby (ZAM PCI Express test suite) ") + platform::suite_version() + "\n");
  EXPECT_EQ(err_, "");
  EXPECT_TRUE(fs::exists(dir_ / "--help" / "oem1.inf"));
  // Beside a GUID it is the folder again, and so is its path.
  EXPECT_EQ(run({"--help", "{no-such-class}"}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(run({"./--help"}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 1\n");
  EXPECT_FALSE(fs::exists(dir_ / "--help" / "oem1.inf"));
  fs::current_path(previous);
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

TEST_F(CleanerTest, EmptyFolderDeletesNothing) {
  file("other.inf", "x");
  EXPECT_EQ(run({dir_.string()}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(run({dir_.string(), guid}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(err_, "");
}

// A mistyped folder or a file named as the folder is an error, not "nothing to delete".
TEST_F(CleanerTest, UnreadableFolderIsAnError) {
  const std::string missing = (dir_ / "missing").string();
  EXPECT_EQ(run({missing}), 1);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(err_, "Brumby: cannot read folder " + missing + ": " + reason_for(missing) + "\n");

  file("oem1.inf", "x");
  const std::string not_folder = (dir_ / "oem1.inf").string();
  EXPECT_EQ(run({not_folder, guid}), 1);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 0\n");
  EXPECT_EQ(err_, "Brumby: cannot read folder " + not_folder + ": " + reason_for(not_folder) + "\n");
  EXPECT_EQ(left(), std::vector<std::string>{"oem1.inf"});
}

// With a filter, an INF that cannot be read is named and fails the run; the others are
// still judged. Without a filter it is deleted unread.
TEST_F(CleanerTest, UnreadableInfIsReported) {
  file("oem1.inf", std::string("ClassGuid=") + guid + "\n");
  file("oem1.pnf", "p");
  file("oem2.pnf", "p");
  const std::string unreadable = (dir_ / "oem2.inf").string();
#ifdef _WIN32
  // Held open by another handle that shares nothing: opening it to read fails.
  file("oem2.inf", std::string("ClassGuid=") + guid + "\n");
  HANDLE held = CreateFileA(unreadable.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string text, reason;
  ASSERT_FALSE(platform::read_file(unreadable, &text, &reason));
#else
  // Opens, but every read fails with an I/O error.
  fs::create_symlink("/proc/self/mem", unreadable);
  const std::string reason = "Input/output error";
#endif
  EXPECT_EQ(run({dir_.string(), guid}), 1);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 1\n");
  EXPECT_EQ(err_, "Brumby: cannot read " + unreadable + ": " + reason + "\n");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem2.inf", "oem2.pnf"}));
#ifdef _WIN32
  CloseHandle(held);
#endif

  EXPECT_EQ(run({dir_.string()}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 1\n");
  EXPECT_EQ(err_, "");
  EXPECT_TRUE(left().empty());

  // An INF too large to be one is not read whole, and is named.
  const std::string large = (dir_ / "oem3.inf").string();
  file("oem3.inf", std::string("ClassGuid=") + guid + "\n" + std::string(brumby::max_inf_file_bytes, ';'));
  EXPECT_EQ(run({dir_.string(), guid}), 1);
  EXPECT_EQ(err_, "Brumby: cannot read " + large + ": larger than 16777216 bytes\n");
  EXPECT_EQ(left(), std::vector<std::string>{"oem3.inf"});
}

// The companion is matched without regard to case, like the INF name itself; a name that
// only starts with the stem is not a companion.
TEST_F(CleanerTest, CompanionsMatchedWithoutRegardToCase) {
  file("OEM1.inf", "a");
  file("OEM1.PNF", "p");
  file("oem2.INF", "b");
  file("Oem2.Pnf", "p");
  file("oem3.inf", "c");
  file("oem3x.pnf", "not a companion");
  file("oem3.pnf.bak", "not a companion");
  EXPECT_EQ(run({dir_.string()}), 0);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 3\n");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(left(), (std::vector<std::string>{"oem3.pnf.bak", "oem3x.pnf"}));
}

// A failed deletion is reported and not counted, and the INF's companion is still tried.
TEST_F(CleanerTest, FailedDeletionIsReportedNotCounted) {
  file("oem1.inf", "a");
  file("oem1.pnf", "p");
  file("oem2.inf", "b");
  file("oem2.pnf", "p");
  file("oem3.inf", "c");
  file("oem3.pnf", "p");
  platform::set_delete_hook([](const std::string& path, std::string& why) {
    if (path.find("oem1.inf") != std::string::npos || path.find("oem3.pnf") != std::string::npos) {
      why = "Permission denied";
      return false;
    }
    return fs::remove(path);
  });
  EXPECT_EQ(run({dir_.string()}), 1);
  EXPECT_EQ(out_, std::string(banner) + "Done, deleted entries: 2\n");
  std::vector<std::string> lines;
  std::istringstream err(err_);
  for (std::string line; std::getline(err, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Brumby: cannot delete " + (dir_ / "oem1.inf").string() + ": Permission denied",
                       "Brumby: cannot delete " + (dir_ / "oem3.pnf").string() + ": Permission denied"}));
  EXPECT_EQ(left(), (std::vector<std::string>{"oem1.inf", "oem3.pnf"}));
}

TEST(CleanerNamesTest, PnfCompanionBySameStem) {
  EXPECT_TRUE(brumby::is_pnf_companion("OEM12.INF", "OEM12.pnf"));
  EXPECT_TRUE(brumby::is_pnf_companion("oem12.inf", "OEM12.PNF"));
  EXPECT_TRUE(brumby::is_pnf_companion("Oem.1.Inf", "oem.1.pnf"));
  EXPECT_FALSE(brumby::is_pnf_companion("oem1.inf", "oem12.pnf"));
  EXPECT_FALSE(brumby::is_pnf_companion("oem12.inf", "oem1.pnf"));
  EXPECT_FALSE(brumby::is_pnf_companion("oem1.inf", "oem1.inf"));
  EXPECT_FALSE(brumby::is_pnf_companion("oem1.inf", "oem1.pnfx"));
}

// The real program: exit codes as its caller sees them (main's -1 is the status's low byte on
// POSIX, the whole value on Windows).
TEST_F(CleanerTest, ProgramExitCodes) {
#ifdef _WIN32
  constexpr int exit_minus_one = -1;
#else
  constexpr int exit_minus_one = 255;
#endif
  file("oem7.inf", "x");
  const auto output = fs::temp_directory_path() /
                      ("brumby_output_" + std::to_string(platform::current_process_id()) + ".txt");
  auto program = [&](std::vector<std::string> argv) {
    argv.insert(argv.begin(), BRUMBY_EXE);
    platform::child_run_options options;
    options.output_path = output.string();
    options.input_from_null = true;
    options.timeout_ms = 60000;
    const auto run = platform::run_child(argv, options);
    EXPECT_TRUE(run.started) << run.error;
    EXPECT_FALSE(run.timed_out);
    return run.exit_code;
  };
  EXPECT_EQ(program({}), exit_minus_one);
  EXPECT_EQ(program({dir_.string()}), 0);
  EXPECT_TRUE(left().empty());
  EXPECT_EQ(program({(dir_ / "missing").string()}), 1);
  fs::remove(output);
}

}  // namespace
