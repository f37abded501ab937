// The menus driven by scripted operator answers: not-supported entries, cancels, a corner
// case with its own settings, a run-all with results and bounded reruns.
#include "menus.h"

#include <gtest/gtest.h>

#include "fwtool_fixture.h"
#include "ini_settings.h"
#include "vexomin.h"

namespace {

using fwtool_testing::FwtoolTest;
using fwtool_testing::small_firmware;

class MenusTest : public FwtoolTest {
 protected:
  MenusTest() {
    CreateUI(nullptr, &menu_ui_, VEXO_UI_TYPE_DIALOG);
    CreateUI(nullptr, &run_ui_, VEXO_UI_TYPE_DIALOG);
    CreateLog(nullptr, &log_, VEXO_LOG_TYPE_RAW_TEXT, (folder_ / "main.log").string().c_str(), 0);
  }
  ~MenusTest() override {
    CloseLog(log_);
    CloseUI(run_ui_);
    CloseUI(menu_ui_);
  }
  // Runs the main menu with the ini written and these operator answers.
  void run_menus(const std::string& lines) {
    fwtool::read_ini_settings(fwtool::ini_path(folder_.string()), settings_, nullptr);
    ASSERT_EQ(hardware_.bind("zamlib.dll", folder_.string(), menu_ui_), 0u);
    answers(lines);
    fwtool::menus m(settings_, hardware_, log_, menu_ui_, run_ui_, folder_.string());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    m.run_main_menu();
    testing::internal::GetCapturedStdout();
    stderr_ = testing::internal::GetCapturedStderr();
    results_ = m.shown_results();
  }
  // True when every scripted answer was used.
  bool answers_used_up() {
    const std::string title = "t", prompt = "p";
    std::string text;
    testing::internal::CaptureStderr();
    const bool used_up = GetString(menu_ui_, &title, &prompt, &text, 0, 1) != VEXO_STATUS_SUCCESS;
    testing::internal::GetCapturedStderr();
    return used_up;
  }

  VEXO_UI_HANDLE_t menu_ui_ = nullptr;
  VEXO_UI_HANDLE_t run_ui_ = nullptr;
  VEXO_LOG_HANDLE_t log_ = nullptr;
  fwtool::run_settings settings_;
  fwtool::hardware_interface hardware_;
  fwtool::results_list results_;
  std::string stderr_;
};

TEST_F(MenusTest, NotSupportedEntriesReturnAndACancelExits) {
  write_standard_ini();
  // Hot Plug, Extended ROM, base menu's first ROM entry, back out of both menus.
  run_menus("7\nContinue\n8\nContinue\n2\n17\nContinue\ncancel\ncancel\n");
  EXPECT_TRUE(answers_used_up()) << stderr_;
  EXPECT_TRUE(card_.read_timeouts().empty());
}

TEST_F(MenusTest, AFailingMenuDialogEndsTheMenuInsteadOfSpinning) {
  write_standard_ini();
  run_menus("not a number\n");
  EXPECT_TRUE(answers_used_up());
  EXPECT_NE(stderr_, "");
}

TEST_F(MenusTest, CornerCaseRunsWithTheChosenBehaviourThenRestoresTheIni) {
  write_standard_ini("[DeviceParameters]\nNonResponsiveDevice=1\n[CustomOptions]\nAutomateRunAll=1\n");
  place_script("one_endpoint.test", "BorderlineDeviceResponses", "Case_12_Configuration_Retry.test");
  queue_firmware(small_firmware(0));
  // Corner cases, "Configuration Retry On First Response", delay 0, "Config Retry (All
  // Responses)", then a cancelled delay (nothing runs), then out.
  run_menus("9\n3\n0\n3\n3\n@cancel\ncancel\ncancel\n");
  EXPECT_TRUE(answers_used_up()) << stderr_;
  const auto completions = card_.completions();
  ASSERT_EQ(completions.size(), 4u);
  for (const auto& c : completions) EXPECT_EQ((c[1] >> 13) & 0x7, 2u);  // every answer CRS
  EXPECT_EQ(settings_.behaviour, fwtool::drop_all);  // the ini's behaviour is back
  EXPECT_TRUE(results_.entries.empty());  // a single case shows no results list
}

TEST_F(MenusTest, RunAllRecordsEachCaseAndBoundsReruns) {
  write_standard_ini();
  const char* names[] = {"Case_8_1_ASPM_LOS_Single_Device_Mismatch.test",
                         "Case_8_2_ASPM_LOS_Multiple_Functions_Single_Mismatch.test",
                         "Case_8_3_ASPM_LOS_One_Device_One_Switch_Mismatch.test",
                         "Case_8_4_ASPM_LOS_Five_Level_Switch_Mismatch.test"};
  for (const char* name : names) place_script("one_endpoint.test", "ASPM_L0s", name);
  // Case 1 answers; case 2 hears nothing and the operator asks for reruns until none is
  // offered; cases 3 and 4 hear nothing either.
  auto firmware = small_firmware(0);
  firmware.pop_back();
  queue_firmware(firmware);
  std::string answers = "5\n1\nContinue\n";                                       // case 1
  answers += "Continue\nYES\nContinue\nYES\nContinue\nYES\nContinue\n";         // case 2, three reruns
  answers += "Continue\nNO\nContinue\nNO\n";                                     // cases 3 and 4
  answers += "1\ncancel\ncancel\n";                                              // results, out
  run_menus(answers);
  EXPECT_TRUE(answers_used_up()) << stderr_;
  ASSERT_EQ(results_.entries.size(), 4u) << stderr_ << read("main.log");
  EXPECT_EQ(results_.entries[0], "Passed:    ASPM L0s Single Device Mismatch");
  EXPECT_EQ(results_.entries[1], "Failed:      ASPM L0s Multiple Functions Single Mismatch");
  EXPECT_EQ(results_.passed, 1u);
  EXPECT_EQ(results_.failed, 3u);
  // One read for case 1's traffic and its end, one per run of cases 2-4 (2 has 4 runs).
  EXPECT_EQ(card_.read_timeouts().size(), firmware.size() + 1 + 4 + 2);
}

}  // namespace
