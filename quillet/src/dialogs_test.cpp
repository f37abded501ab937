// Quillet dialogs answered by a script, by auto, and closed from another thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/operator.h"
#include "platform/process.h"
#include "quillet.h"

#include "platform/testing/scripted_operator.h"
#include "platform/testing/silent_keyboard.h"

namespace {

const std::string header = "Header";
const std::string prompt = "Prompt";
const std::vector<std::string> entries{"one", "two", "three"};

class QuilletTest : public ::testing::Test {
 protected:
  void use_script(const std::string& content) { operator_.use(content); }
  platform::testing::scripted_operator operator_{"quillet_"};
};

TEST_F(QuilletTest, ListsReportIndexCancelAndTimeOut) {
  use_script("3\ncancel\n@timeout\n1, 3\n@timeout\n");
  uint32_t index = 7;
  ASSERT_EQ(CreateGetUserListSingleSelectionDialog(&header, &prompt, &entries, 5000), QUILLET_OK);
  EXPECT_EQ(GetUserListSingleSelectionData(&index), QUILLET_OK);
  EXPECT_EQ(index, 2u);
  EXPECT_FALSE(DidGetUserListSingleSelectionDialogTimeOut());
  DestroyGetUserListSingleSelectionDialog();

  ASSERT_EQ(CreateGetUserListSingleSelectionDialog(&header, &prompt, &entries, 0), QUILLET_OK);
  EXPECT_EQ(GetUserListSingleSelectionData(&index), QUILLET_OK);
  EXPECT_EQ(index, QUILLET_NO_SELECTION);
  EXPECT_FALSE(DidGetUserListSingleSelectionDialogTimeOut());

  // A new dialog replaces the old answer; a time-out also reports no selection.
  index = 7;
  ASSERT_EQ(CreateGetUserListSingleSelectionDialog(&header, &prompt, &entries, 0), QUILLET_OK);
  EXPECT_TRUE(DidGetUserListSingleSelectionDialogTimeOut());
  EXPECT_EQ(GetUserListSingleSelectionData(&index), QUILLET_OK);
  EXPECT_EQ(index, QUILLET_NO_SELECTION);
  DestroyGetUserListSingleSelectionDialog();
  EXPECT_FALSE(DidGetUserListSingleSelectionDialogTimeOut());
  EXPECT_EQ(GetUserListSingleSelectionData(&index), QUILLET_ERROR_NO_ANSWER);

  std::vector<uint32_t> chosen{9};
  ASSERT_EQ(CreateGetUserListSelectionsDialog(&header, &prompt, &entries, 0), QUILLET_OK);
  EXPECT_EQ(GetUserListSelectionsData(&chosen), QUILLET_OK);
  EXPECT_EQ(chosen, (std::vector<uint32_t>{0, 2}));
  ASSERT_EQ(CreateGetUserListSelectionsDialog(&header, &prompt, &entries, 0), QUILLET_OK);
  EXPECT_TRUE(DidGetUserListSelectionsDialogTimeOut());
  EXPECT_EQ(GetUserListSelectionsData(&chosen), QUILLET_OK);
  EXPECT_TRUE(chosen.empty());
  DestroyGetUserListSelectionsDialog();

  EXPECT_EQ(CreateGetUserListSingleSelectionDialog(&header, &prompt, nullptr, 0), QUILLET_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(GetUserListSelectionsData(nullptr), QUILLET_ERROR_INVALID_ARGUMENT);
}

TEST_F(QuilletTest, YesNoNumberTextAndMessage) {
  use_script("NO\n@timeout\n0x10\n12\nlot 4711\nOK\n");
  const std::string yes = "YES";
  const std::string no = "NO";
  bool answer = true;
  ASSERT_EQ(CreateGetUserBooleanChoiceDialog(&header, &prompt, &yes, &no, 0), QUILLET_OK);
  EXPECT_TRUE(IsGetUserBooleanChoiceDialogDone());
  EXPECT_EQ(GetUserBooleanChoiceDialogData(&answer), QUILLET_OK);
  EXPECT_FALSE(answer);
  EXPECT_TRUE(GetUserBooleanDidUserProvideInput());
  EXPECT_FALSE(DidGetUserBooleanChoiceDialogTimeOut());
  ASSERT_EQ(CreateGetUserBooleanChoiceDialog(&header, &prompt, &yes, &no, 1000), QUILLET_OK);
  EXPECT_TRUE(DidGetUserBooleanChoiceDialogTimeOut());
  EXPECT_FALSE(GetUserBooleanDidUserProvideInput());
  EXPECT_EQ(GetUserBooleanChoiceDialogData(&answer), QUILLET_ERROR_NO_ANSWER);
  DestroyGetUserBooleanChoiceDialog();

  uint32_t number = 0;
  std::string text;
  ASSERT_EQ(CreateGetUserItemDialog(&header, &prompt, &prompt, true, true, 0), QUILLET_OK);
  EXPECT_EQ(GetUserItemDialogData(&number, nullptr), QUILLET_OK);
  EXPECT_EQ(number, 0x10u);
  ASSERT_EQ(CreateGetUserItemDialog(&header, &prompt, &prompt, true, true, 0), QUILLET_OK);
  EXPECT_EQ(GetUserItemDialogData(&number, nullptr), QUILLET_OK);
  EXPECT_EQ(number, 0x12u);  // hexadecimal entry
  ASSERT_EQ(CreateGetUserItemDialog(&header, &prompt, &prompt, false, false, 0), QUILLET_OK);
  EXPECT_EQ(GetUserItemDialogData(&number, nullptr), QUILLET_ERROR_NO_ANSWER);
  EXPECT_EQ(GetUserItemDialogData(nullptr, &text), QUILLET_OK);
  EXPECT_EQ(text, "lot 4711");
  EXPECT_EQ(GetUserItemDialogData(nullptr, nullptr), QUILLET_ERROR_INVALID_ARGUMENT);
  DestroyGetUserItemDialog();

  const std::string message = "Start traffic";
  ASSERT_EQ(CreateDisplayInfoToUserDialog(&header, &message, false, 2000, nullptr), QUILLET_OK);
  EXPECT_FALSE(DiplayInfoDidUserProvideInput());
  ASSERT_EQ(CreateDisplayInfoToUserDialog(&header, &message, true, 0, nullptr), QUILLET_OK);
  EXPECT_TRUE(DiplayInfoDidUserProvideInput());
  EXPECT_FALSE(DidDisplayInfoToUserDialogTimeOut());
  DestroyDisplayInfoToUserDialog();

  // The script has run out: the dialog is not shown and says why.
  testing::internal::CaptureStderr();
  EXPECT_EQ(CreateGetUserBooleanChoiceDialog(&header, &prompt, &yes, &no, 0), QUILLET_ERROR_NOT_SHOWN);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("has no answer left"), std::string::npos);
  EXPECT_FALSE(DidGetUserBooleanChoiceDialogTimeOut());
}

TEST_F(QuilletTest, AutoTakesTheDefaultNumberOnce) {
  platform::set_environment("ZAM_OPERATOR", "auto");
  uint32_t number = 99;
  SetGetUserItemDialogDefaultNumber(5);
  ASSERT_EQ(CreateGetUserItemDialog(&header, nullptr, &prompt, true, false, 0), QUILLET_OK);
  EXPECT_EQ(GetUserItemDialogData(&number, nullptr), QUILLET_OK);
  EXPECT_EQ(number, 5u);
  ASSERT_EQ(CreateGetUserItemDialog(&header, nullptr, &prompt, true, false, 0), QUILLET_OK);
  EXPECT_EQ(GetUserItemDialogData(&number, nullptr), QUILLET_OK);
  EXPECT_EQ(number, 0u);
  DestroyGetUserItemDialog();
}

// A terminal dialog that nobody answers stays open until its destroy call closes it.
TEST_F(QuilletTest, DestroyClosesAnOpenDialogAndASecondIsRefused) {
  platform::testing::silent_keyboard keyboard;
  ASSERT_TRUE(keyboard.ready());
  platform::set_environment("ZAM_OPERATOR", "tty");
  testing::internal::CaptureStdout();

  const std::string message = "Press OK when traffic has stopped";
  int32_t shown = -1;
  std::thread worker([&] { shown = CreateDisplayInfoToUserDialog(&header, &message, true, 0, nullptr); });
  while (IsDisplayInfoToUserDialogDone()) std::this_thread::yield();
  EXPECT_EQ(CreateDisplayInfoToUserDialog(&header, &message, true, 0, nullptr), QUILLET_ERROR_BUSY);
  EXPECT_EQ(DestroyDisplayInfoToUserDialog(), QUILLET_OK);
  EXPECT_TRUE(IsDisplayInfoToUserDialogDone());
  worker.join();
  EXPECT_EQ(shown, QUILLET_OK);
  EXPECT_FALSE(DiplayInfoDidUserProvideInput());
  EXPECT_FALSE(DidDisplayInfoToUserDialogTimeOut());

  const std::string screen = testing::internal::GetCapturedStdout();
  EXPECT_NE(screen.find("=== Header ===\nPress OK when traffic has stopped\n[Enter] OK > "), std::string::npos)
      << screen;
  EXPECT_NE(screen.find("The dialog was closed by the program."), std::string::npos) << screen;
}

}  // namespace
