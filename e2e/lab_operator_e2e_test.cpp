// The lab's virtual operator answers message boxes and dialogs, and the daemon logs them.
#include <gtest/gtest.h>

#include "lab_fixture.h"
#include "platform/operator.h"
#include "platform/process.h"

namespace e2e {
namespace {

class LabOperator : public LabTest {
 protected:
  void TearDown() override {
    platform::unset_environment("ZAM_OPERATOR");
    LabTest::TearDown();
  }
};

TEST_F(LabOperator, AnswersPromptsAsAPersonAtTheBench) {
  start_lab("minimal.station");
  platform::set_environment("ZAM_OPERATOR", "lab");
  EXPECT_EQ(platform::ask_operator("MESSAGE TO OPERATOR FROM TEST",
                                   "Please start an application the DUT supports, then press OK to continue",
                                   platform::buttons::ok_cancel),
            platform::answer::ok);
  EXPECT_EQ(platform::ask_operator("c", "retry?", platform::buttons::retry_cancel), platform::answer::retry);

  platform::dialog_request list;
  list.kind = platform::dialog_kind::choice;
  list.caption = "Select the device response behavior to the first configuration request.";
  list.items = {"Normal Response", "Config Retry (First Response)"};
  const auto chosen = platform::ask_dialog(list);
  EXPECT_EQ(chosen.end, platform::dialog_end::answered);
  EXPECT_EQ(chosen.index, 0u);
  platform::dialog_request number;
  number.kind = platform::dialog_kind::number;
  number.caption = "Delay in MS";
  number.default_number = 250;
  const auto typed = platform::ask_dialog(number);
  EXPECT_EQ(typed.end, platform::dialog_end::answered);
  EXPECT_TRUE(typed.has_number);
  EXPECT_EQ(typed.number, 250u);

  const std::string shown = capture(std::string(ZAMSIM_EXE) + " show --socket " + socket_);
  EXPECT_NE(shown.find("operator: \"MESSAGE TO OPERATOR FROM TEST\": \"Please start an application the DUT "
                       "supports, then press OK to continue\" -> OK"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("operator: list dialog \"Select the device response behavior"), std::string::npos) << shown;
  EXPECT_NE(shown.find("4 recent prompts"), std::string::npos) << shown;
}

TEST_F(LabOperator, WithoutALabThePromptIsLeftUnanswered) {
  platform::set_environment("ZAM_OPERATOR", "lab");
  platform::unset_environment("ZAMSIM_SOCKET");
  testing::internal::CaptureStderr();
  EXPECT_EQ(platform::ask_operator("c", "t", platform::buttons::ok), platform::answer::none);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("needs ZAMSIM_SOCKET"), std::string::npos);
}

}  // namespace
}  // namespace e2e
