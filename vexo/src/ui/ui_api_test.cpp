// Operator input of vexo: the silent kind, the input flag and handle checks.
#include <gtest/gtest.h>

#include "vexo.h"

namespace {

TEST(SilentUserInputTest, OnlyTheSilentKindIsBuilt) {
  VEXO_UI_HANDLE_t ui = reinterpret_cast<VEXO_UI_HANDLE_t>(0x1);
  EXPECT_EQ(CreateUI(nullptr, &ui, VEXO_UI_TYPE_DIALOG), VEXO_STATUS_INVALID_PARAMETER);
  EXPECT_EQ(ui, nullptr);
  for (VEXO_UI_TYPE_t type : {1u, 2u, 4u, 0xFFFFFFFFu}) {
    EXPECT_EQ(CreateUI(nullptr, &ui, type), VEXO_STATUS_INVALID_PARAMETER) << type;
  }
  EXPECT_EQ(CreateUI(nullptr, nullptr, VEXO_UI_TYPE_SILENT), VEXO_STATUS_INVALID_PARAMETER);
  ASSERT_EQ(CreateUI(nullptr, &ui, VEXO_UI_TYPE_SILENT), VEXO_STATUS_SUCCESS);
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(CloseUI(ui), VEXO_STATUS_SUCCESS);
}

TEST(SilentUserInputTest, RequestsSucceedAndLeaveOutputsUntouched) {
  VEXO_UI_HANDLE_t ui = nullptr;
  ASSERT_EQ(CreateUI(nullptr, &ui, VEXO_UI_TYPE_SILENT), VEXO_STATUS_SUCCESS);
  const std::string text = "Start traffic on the device";
  const std::vector<std::string> list{"a", "b"};
  for (int force : {0, 1}) {
    int answer = 42;
    uint32_t value = 77;
    uint32_t index = 5;
    std::string typed = "unchanged";
    EXPECT_EQ(GetBooleanDecision(ui, &text, &text, &text, &answer, 0, nullptr, force), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(GetInteger(ui, &text, &text, &value, 0, 10, 1, 0, force), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(GetSelectionFromList(ui, &text, &list, &index, 0, force), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(GetString(ui, &text, &text, &typed, 0, force), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(DisplayInfoToUser(ui, &text, 1, nullptr, 0, force, nullptr), VEXO_STATUS_SUCCESS);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(index, 5u);
    EXPECT_EQ(typed, "unchanged");
    EnableInput(ui);
  }
  EXPECT_EQ(TerminateDialog(ui), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(SetDialogHeader(ui, &text), VEXO_STATUS_SUCCESS);
  CloseUI(ui);
}

TEST(SilentUserInputTest, InputFlagAndInvalidHandles) {
  VEXO_UI_HANDLE_t ui = nullptr;
  ASSERT_EQ(CreateUI(nullptr, &ui, VEXO_UI_TYPE_SILENT), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(IsInputDisabled(ui), 0);
  EXPECT_EQ(EnableInput(ui), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(IsInputDisabled(ui), 1);
  EXPECT_EQ(DisableInput(ui), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(IsInputDisabled(ui), 0);
  EXPECT_EQ(CloseUI(ui), VEXO_STATUS_SUCCESS);

  // Null, closed and foreign handles are refused, never followed.
  int not_a_ui = 0;
  for (VEXO_UI_HANDLE_t bad : {static_cast<VEXO_UI_HANDLE_t>(nullptr), ui, static_cast<VEXO_UI_HANDLE_t>(&not_a_ui)}) {
    int answer = 0;
    EXPECT_EQ(EnableInput(bad), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(DisableInput(bad), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(TerminateDialog(bad), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SetDialogHeader(bad, nullptr), VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(GetBooleanDecision(bad, nullptr, nullptr, nullptr, &answer, 0, nullptr, 1),
              VEXO_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(IsInputDisabled(bad), 0);
    EXPECT_EQ(CloseUI(bad), VEXO_STATUS_SUCCESS);
  }
}

}  // namespace
