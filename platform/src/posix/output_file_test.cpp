// Output files: exact bytes written, the system's reasons, and the fault seam.
#include "platform/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* no_space = "No space left on device";
constexpr const char* io_error = "Input/output error";
constexpr const char* denied = "Permission denied";

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("output_file_test_" + std::to_string(platform::current_process_id()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    platform::set_file_fault_hook(nullptr);
    platform::unset_environment("ZAM_FILE_FAULTS");
    fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path dir_;
};

TEST_F(OutputFileTest, CreateEmptiesAppendAddsAndBytesArriveAsGiven) {
  const std::string file = path("log.txt");
  std::ofstream(file) << "old content";
  platform::output_file out;
  std::string reason;
  ASSERT_TRUE(out.open(file, platform::output_mode::create, platform::output_kind::text, &reason)) << reason;
  EXPECT_TRUE(out.write("a\nb", &reason)) << reason;
  EXPECT_TRUE(out.close(&reason)) << reason;
  EXPECT_FALSE(out.is_open());
  ASSERT_TRUE(out.open(file, platform::output_mode::append, platform::output_kind::binary, &reason));
  EXPECT_TRUE(out.write(std::string("\0c\r\n", 4), &reason));
  EXPECT_TRUE(out.close(&reason));
  EXPECT_EQ(read(file), std::string("a\nb\0c\r\n", 7));
  EXPECT_FALSE(out.write("x", &reason));
  EXPECT_EQ(reason, "the file is not open");
}

// What the system says, for each way a real file fails.
TEST_F(OutputFileTest, RealFailuresGiveTheSystemsReason) {
  fs::create_directories(path("folder"));
  struct open_case {
    std::string file;
    const char* reason;
  } const cases[] = {
      {path("folder"), "Is a directory"},
      {path("missing/log.xml"), "No such file or directory"},
      {"", "No such file or directory"},
  };
  for (const open_case& c : cases) {
    platform::output_file out;
    std::string reason;
    EXPECT_FALSE(out.open(c.file, platform::output_mode::create, platform::output_kind::text, &reason)) << c.file;
    EXPECT_EQ(reason, c.reason) << c.file;
    EXPECT_FALSE(out.is_open());
  }
  platform::output_file full;
  std::string reason;
  ASSERT_TRUE(full.open("/dev/full", platform::output_mode::create, platform::output_kind::text, &reason));
  EXPECT_FALSE(full.write("<VEXOXMLLog>\n", &reason));
  EXPECT_EQ(reason, no_space);
  EXPECT_FALSE(platform::write_whole_file(path("folder"), "x", platform::output_kind::binary, &reason));
  EXPECT_EQ(reason, "Is a directory");
}

TEST_F(OutputFileTest, HookFailsTheStepItNamesAndTheFileStillCloses) {
  const std::string file = path("report.xml");
  std::vector<std::string> seen;
  platform::set_file_fault_hook([&](platform::file_step step, const std::string& p) -> std::optional<std::string> {
    seen.push_back(std::to_string(static_cast<int>(step)) + " " + p);
    if (step == platform::file_step::close) return io_error;
    return std::nullopt;
  });
  platform::output_file out;
  std::string reason;
  ASSERT_TRUE(out.open(file, platform::output_mode::create, platform::output_kind::binary, &reason));
  EXPECT_TRUE(out.write("kept", &reason));
  EXPECT_FALSE(out.close(&reason));
  EXPECT_EQ(reason, io_error);
  EXPECT_FALSE(out.is_open());
  EXPECT_EQ(read(file), "kept");
  EXPECT_EQ(seen, (std::vector<std::string>{"0 " + file, "1 " + file, "2 " + file}));
}

// ZAM_FILE_FAULTS, rule by rule: which step on which path fails, and with what reason.
TEST_F(OutputFileTest, EnvironmentPlansFailuresByStepPatternAndKind) {
  struct plan_case {
    const char* rules;
    platform::file_step step;
    const char* file;
    const char* reason;  // nullptr: the step runs
  } const cases[] = {
      {"open:*log.xml", platform::file_step::open, "/r/log.xml", denied},
      {"open:*log.xml", platform::file_step::write, "/r/log.xml", nullptr},
      {"open:*log.xml", platform::file_step::open, "/r/log.xml.bak", nullptr},
      {"write:*log.xml:nospace", platform::file_step::write, "/r/LOG.XML", no_space},
      {"write:*log.xml:nospace", platform::file_step::open, "/r/log.xml", nullptr},
      {"write:*", platform::file_step::write, "any", io_error},
      {"close:*.txt:io", platform::file_step::close, "a.txt", io_error},
      {"open:*.xml;write:*.txt:nospace", platform::file_step::write, "b.txt", no_space},
      {"open:*.xml;write:*.txt:nospace", platform::file_step::open, "b.txt", nullptr},
      {"open:C:\\logs\\*:nospace", platform::file_step::open, "C:\\logs\\a.xml", no_space},
      {"open:*.xml:weird", platform::file_step::open, "a.xml", nullptr},  // "weird" is part of the pattern
      {"open:*.xml:weird", platform::file_step::open, "a.xml:weird", denied},
      {"flush:*", platform::file_step::write, "a", nullptr},
      {";;open", platform::file_step::open, "a", nullptr},
      {"", platform::file_step::open, "a", nullptr},
  };
  for (const plan_case& c : cases) {
    platform::set_environment("ZAM_FILE_FAULTS", c.rules);
    const std::optional<std::string> planned = platform::planned_file_fault(c.step, c.file);
    if (c.reason == nullptr) {
      EXPECT_FALSE(planned.has_value()) << c.rules << " " << c.file;
    } else {
      EXPECT_EQ(planned.value_or("(runs)"), c.reason) << c.rules << " " << c.file;
    }
  }
  // A planned failure reaches a real file: nothing is created, the reason is the plan's.
  platform::set_environment("ZAM_FILE_FAULTS", "open:*planned*:nospace");
  std::string reason;
  EXPECT_FALSE(platform::write_whole_file(path("planned.txt"), "x", platform::output_kind::binary, &reason));
  EXPECT_EQ(reason, no_space);
  EXPECT_FALSE(fs::exists(path("planned.txt")));
  // A hook takes precedence over the variable.
  platform::set_file_fault_hook([](platform::file_step, const std::string&) { return std::optional<std::string>(); });
  EXPECT_TRUE(platform::write_whole_file(path("planned.txt"), "x", platform::output_kind::binary, &reason));
}

}  // namespace
