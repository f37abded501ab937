// The dialog kind of operator input, answered by a script: gate, retries, time-outs, workers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/operator.h"
#include "platform/process.h"
#include "platform/testing/scripted_operator.h"
#include "platform/testing/silent_keyboard.h"
#include "vexomin.h"

namespace {

const std::string question = "Did the system power on?";
const std::string yes = "YES";
const std::string no = "NO";
const std::string title = "Enter the delay";
const std::string prompt = "Delay in MS";
const std::vector<std::string> entries{"Normal Response", "Config Retry (First Response)", "Exit"};

class DialogUserInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CreateUI(nullptr, &ui_, VEXO_UI_TYPE_DIALOG), VEXO_STATUS_SUCCESS); }
  void TearDown() override {
    CloseUI(ui_);
  }
  void use_script(const std::string& content) { operator_.use(content); }
  // True when the script has no answer left (the next dialog cannot be shown).
  bool script_used_up() {
    testing::internal::CaptureStderr();
    std::string text;
    const bool used_up = GetString(ui_, &title, &prompt, &text, 0, 1) == VEXO_STATUS_INSUFFICIENT_RESOURCES;
    testing::internal::GetCapturedStderr();
    return used_up;
  }
  VEXO_UI_HANDLE_t ui_ = nullptr;
  platform::testing::scripted_operator operator_{"vexomin_"};
};

TEST(DialogCreateUITest, OnlyTheDialogKindIsBuilt) {
  for (VEXO_UI_TYPE_t type : {1u, 2u, 3u, 9u}) {
    VEXO_UI_HANDLE_t ui = reinterpret_cast<VEXO_UI_HANDLE_t>(0x1);
    EXPECT_EQ(CreateUI(nullptr, &ui, type), VEXO_STATUS_INVALID_PARAMETER) << type;
    EXPECT_EQ(ui, nullptr);
  }
  VEXO_HANDLE_t framework = reinterpret_cast<VEXO_HANDLE_t>(0x1234);
  EXPECT_EQ(OpenVEXO(&framework, 0, 0, nullptr, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(framework, reinterpret_cast<VEXO_HANDLE_t>(0x1234));
  EXPECT_EQ(CloseVEXO(framework), VEXO_STATUS_SUCCESS);
}

TEST_F(DialogUserInputTest, GateLeavesOutputsUntouchedUntilInputIsEnabled) {
  use_script("NO\n");
  int answer = 5;
  EXPECT_EQ(IsInputDisabled(ui_), 0);
  // Not forced and input not enabled: nothing is asked (the script keeps its line).
  EXPECT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 0, nullptr, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(DisplayInfoToUser(ui_, &question, 1, nullptr, 0, 0, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 5);
  EnableInput(ui_);
  EXPECT_EQ(IsInputDisabled(ui_), 1);
  EXPECT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 0, nullptr, 0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 0);
  DisableInput(ui_);
  EXPECT_EQ(IsInputDisabled(ui_), 0);
  EXPECT_TRUE(script_used_up());
}

TEST_F(DialogUserInputTest, GetIntegerAsksAgainUntilTheNumberFits) {
  use_script("0\n11\n5\n@timeout\n7\n@timeout\n");
  uint32_t value = 99;
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 10, 1, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(value, 5u);
  // A pass that times out with an old number that fits ends with a time-out.
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 10, 1, 1000, 1), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(value, 5u);
  // With an old number out of bounds a timed-out pass is shown again.
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 10, 6, 1000, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 10, 1, 1000, 1), VEXO_STATUS_TIMEOUT);
  EXPECT_TRUE(script_used_up());
  // An empty range can never be satisfied.
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 1, 2, 0, 1), VEXO_STATUS_INVALID_PARAMETER);
}

TEST_F(DialogUserInputTest, AutoOperatorGetsTheMinimumWithoutLooping) {
  platform::set_environment("ZAM_OPERATOR", "auto");
  uint32_t value = 0;
  EXPECT_EQ(GetInteger(ui_, &title, &prompt, &value, 0, 2000, 3, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(value, 3u);
  uint32_t index = 9;
  EXPECT_EQ(GetSelectionFromList(ui_, &prompt, &entries, &index, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(index, 0u);
}

TEST_F(DialogUserInputTest, TimeOutsAreReportedExactlyWhenTheyHappen) {
  use_script("@timeout\nYES\n@timeout\nOK\n2\ncancel\n@timeout\n1,3\nlot 7\n@timeout\n");
  int answer = 5;
  EXPECT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 1000, nullptr, 1), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(answer, 5);
  EXPECT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 1000, nullptr, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(DisplayInfoToUser(ui_, &question, 1, nullptr, 1000, 1, nullptr), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(DisplayInfoToUser(ui_, &question, 1, nullptr, 1000, 1, nullptr), VEXO_STATUS_SUCCESS);
  // A message that does not wait takes no answer.
  EXPECT_EQ(DisplayInfoToUser(ui_, &question, 0, nullptr, 2000, 1, nullptr), VEXO_STATUS_SUCCESS);

  uint32_t index = 0;
  EXPECT_EQ(GetSelectionFromList(ui_, &prompt, &entries, &index, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(GetSelectionFromList(ui_, &prompt, &entries, &index, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(index, 0xFFFFFFFFu);
  index = 0;
  EXPECT_EQ(GetSelectionFromList(ui_, &prompt, &entries, &index, 1000, 1), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(index, 0xFFFFFFFFu);
  std::vector<uint32_t> chosen;
  EXPECT_EQ(GetMultipleSelectionsFromList(ui_, &prompt, &entries, &chosen, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(chosen, (std::vector<uint32_t>{0, 2}));
  std::string text;
  EXPECT_EQ(GetString(ui_, &title, &prompt, &text, 0, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(text, "lot 7");
  EXPECT_EQ(GetString(ui_, &title, &prompt, &text, 1000, 1), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(text, "lot 7");
  EXPECT_TRUE(script_used_up());
}

TEST_F(DialogUserInputTest, WorkerModeSignalsAndRefusesASecondWorker) {
  use_script("OK\nNO\n@timeout\n@timeout\n");
  CVEXOGuiEvent shown;
  const std::string message = "Start traffic on the device under test";
  ASSERT_EQ(DisplayInfoToUser(ui_, &message, 1, &shown, 0, 1, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(shown.Wait(5000), VEXO_STATUS_USER_INPUT);
  EXPECT_EQ(DisplayInfoToUser(ui_, &message, 1, &shown, 0, 1, nullptr), VEXO_STATUS_FAILED);

  CVEXOGuiEvent decided;
  int answer = 5;
  ASSERT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 0, &decided, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(decided.Wait(5000), VEXO_STATUS_USER_INPUT);
  int other = 5;
  EXPECT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &other, 0, &decided, 1), VEXO_STATUS_FAILED);
  EXPECT_EQ(answer, 5);  // delivered by TerminateDialog
  EXPECT_EQ(TerminateDialog(ui_), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 0);

  // After TerminateDialog new workers may start; time-outs are marked as such, also on
  // events reused from dialogs the operator answered (no stale input mark).
  ASSERT_EQ(DisplayInfoToUser(ui_, &message, 1, &shown, 500, 1, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(shown.Wait(5000), VEXO_STATUS_DIALOG_TIMED_OUT);
  answer = 5;
  ASSERT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 500, &decided, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(decided.Wait(5000), VEXO_STATUS_DIALOG_TIMED_OUT);
  EXPECT_EQ(TerminateDialog(ui_), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 5);
}

TEST_F(DialogUserInputTest, WorkerKeepsASignalTheCallerAlreadySet) {
  // An operator who never answers: the worker waits until TerminateDialog ends it.
  platform::testing::silent_keyboard keyboard;
  ASSERT_TRUE(keyboard.ready());
  platform::set_environment("ZAM_OPERATOR", "tty");
  testing::internal::CaptureStdout();

  CVEXOGuiEvent shared;
  shared.MarkTimedOut();  // left over from a dialog this event served before
  shared.Signal();        // the caller's own signal, set before the dialog starts
  const std::string message = "Start traffic on the device under test";
  ASSERT_EQ(DisplayInfoToUser(ui_, &message, 1, &shared, 0, 1, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(shared.IsSet(), 1);  // starting the worker did not clear it
  EXPECT_EQ(shared.Wait(50), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(TerminateDialog(ui_), VEXO_STATUS_SUCCESS);
  // The worker's own signal carries no stale time-out mark.
  EXPECT_EQ(shared.Wait(5000), VEXO_STATUS_SUCCESS);

  testing::internal::GetCapturedStdout();
}

TEST_F(DialogUserInputTest, TerminateDialogEndsDialogsNobodyAnswers) {
  platform::testing::silent_keyboard keyboard;
  ASSERT_TRUE(keyboard.ready());
  platform::set_environment("ZAM_OPERATOR", "tty");
  testing::internal::CaptureStdout();

  CVEXOGuiEvent shown;
  CVEXOGuiEvent decided;
  int answer = 5;
  const std::string message = "Press OK when traffic has stopped";
  ASSERT_EQ(DisplayInfoToUser(ui_, &message, 1, &shown, 0, 1, nullptr), VEXO_STATUS_SUCCESS);
  ASSERT_EQ(GetBooleanDecision(ui_, &question, &yes, &no, &answer, 0, &decided, 1), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(shown.Wait(50), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(TerminateDialog(ui_), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(shown.Wait(5000), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(decided.Wait(5000), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(answer, 5);

  // Closing a UI object ends the worker it started, without TerminateDialog.
  VEXO_UI_HANDLE_t second = nullptr;
  ASSERT_EQ(CreateUI(nullptr, &second, VEXO_UI_TYPE_DIALOG), VEXO_STATUS_SUCCESS);
  CVEXOGuiEvent closed;
  ASSERT_EQ(DisplayInfoToUser(second, &message, 1, &closed, 0, 1, nullptr), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(CloseUI(second), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(closed.Wait(0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(EnableInput(second), VEXO_STATUS_INVALID_PARAMETER);

  testing::internal::GetCapturedStdout();
}

}  // namespace
