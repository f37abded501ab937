// Operator prompts: auto and script backends.
#include "platform/operator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_input.h"
#include "platform/process.h"
#include "platform/testing/scripted_operator.h"

namespace {

using platform::answer;
using platform::buttons;

class OperatorTest : public ::testing::Test {
 protected:
  void use_script(const std::string& content) { operator_.use(content); }
  platform::testing::scripted_operator operator_{"answers_"};
};

TEST_F(OperatorTest, AutoAnswersFirstButton) {
  platform::set_environment("ZAM_OPERATOR", "auto");
  EXPECT_EQ(platform::ask_operator("MESSAGE TO OPERATOR FROM TEST", "start", buttons::ok_cancel), answer::ok);
  EXPECT_EQ(platform::ask_operator("c", "t", buttons::yes_no), answer::yes);
  EXPECT_EQ(platform::ask_operator("c", "t", buttons::retry_cancel), answer::retry);
}

TEST_F(OperatorTest, ScriptAnswersInOrderByLabelOrNumber) {
  use_script("# answers for one run\nCancel\n\nok\n2\nYes\nMaybe\n");
  EXPECT_EQ(platform::ask_operator("c", "1", buttons::ok_cancel), answer::cancel);
  EXPECT_EQ(platform::ask_operator("c", "2", buttons::ok_cancel), answer::ok);
  EXPECT_EQ(platform::ask_operator("c", "3", buttons::yes_no), answer::no);
  // "Yes" is not offered by OK/Cancel: unanswered, never guessed.
  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_operator("c", "4", buttons::ok_cancel), answer::none);
  EXPECT_EQ(platform::ask_operator("c", "5", buttons::ok), answer::none);
  // The script ran out: a clear error, not a hang.
  EXPECT_EQ(platform::ask_operator("last", "6", buttons::ok), answer::none);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("has no answer left for prompt \"last\""), std::string::npos) << err;
  EXPECT_NE(err.find("\"Maybe\""), std::string::npos) << err;
}

// An answer script that is a folder or a device holds no answers: every prompt fails with
// the reason, and nothing waits on a device that never ends.
TEST_F(OperatorTest, AnAnswerScriptThatIsNotARegularFileIsNamed) {
  std::vector<std::string> paths = {::testing::TempDir()};
#ifndef _WIN32
  paths.push_back("/dev/zero");
#endif
  for (const std::string& path : paths) {
    platform::set_environment("ZAM_OPERATOR", "script:" + path);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::ask_operator("c", "t", buttons::ok), answer::none) << path;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "operator: cannot read answer script " + path + ": not a regular file\n");
  }
}

TEST_F(OperatorTest, BackendSelection) {
  platform::set_environment("ZAM_OPERATOR", "script:/x");
  EXPECT_EQ(platform::operator_backend(), "script:/x");
  platform::unset_environment("ZAM_OPERATOR");
  EXPECT_EQ(platform::operator_backend(), platform::detail::standard_input_is_terminal() ? "tty" : "auto");
  platform::set_environment("ZAM_OPERATOR", "bogus");
  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_operator("c", "t", buttons::ok), answer::none);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown backend \"bogus\""), std::string::npos);
  EXPECT_EQ(platform::parse_answer("cAnCeL"), answer::cancel);
  EXPECT_EQ(platform::parse_answer("Cancelled"), answer::none);
}

}  // namespace
