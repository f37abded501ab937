// The operator's message box: the style each button set asks for and the answers it maps.
// (The box itself waits for a click, so no test shows it.)
#include "operator_message_box.h"

#include <gtest/gtest.h>

namespace {

using platform::answer;
using platform::buttons;
using platform::detail::message_box_answer;
using platform::detail::message_box_style;

TEST(OperatorMessageBoxTest, StyleCarriesTheButtonSetOfMessageBoxA) {
  const std::pair<buttons, UINT> sets[] = {
      {buttons::ok, MB_OK},
      {buttons::ok_cancel, MB_OKCANCEL},
      {buttons::abort_retry_ignore, MB_ABORTRETRYIGNORE},
      {buttons::yes_no_cancel, MB_YESNOCANCEL},
      {buttons::yes_no, MB_YESNO},
      {buttons::retry_cancel, MB_RETRYCANCEL},
  };
  for (const auto& [choice, windows_set] : sets) {
    const UINT style = message_box_style(choice);
    EXPECT_EQ(style & MB_TYPEMASK, windows_set) << static_cast<int>(choice);
    EXPECT_EQ(style & MB_ICONMASK, static_cast<UINT>(MB_ICONWARNING));  // 0x30, not the question mark
    EXPECT_NE(style & MB_TOPMOST, 0u);
    EXPECT_NE(style & MB_SETFOREGROUND, 0u);
  }
}

TEST(OperatorMessageBoxTest, ResultsMapToOfferedAnswersOnly) {
  EXPECT_EQ(message_box_answer(IDOK, buttons::ok), answer::ok);
  EXPECT_EQ(message_box_answer(IDCANCEL, buttons::ok_cancel), answer::cancel);
  EXPECT_EQ(message_box_answer(IDABORT, buttons::abort_retry_ignore), answer::abort);
  EXPECT_EQ(message_box_answer(IDIGNORE, buttons::abort_retry_ignore), answer::ignore);
  EXPECT_EQ(message_box_answer(IDNO, buttons::yes_no_cancel), answer::no);
  EXPECT_EQ(message_box_answer(IDYES, buttons::yes_no), answer::yes);
  EXPECT_EQ(message_box_answer(IDRETRY, buttons::retry_cancel), answer::retry);
  // A failed box (0) and a button the set does not offer are no answer, never a guess.
  EXPECT_EQ(message_box_answer(0, buttons::ok_cancel), answer::none);
  EXPECT_EQ(message_box_answer(IDYES, buttons::ok_cancel), answer::none);
  EXPECT_EQ(message_box_answer(IDCANCEL, buttons::yes_no), answer::none);
  EXPECT_EQ(message_box_answer(IDTIMEOUT, buttons::ok), answer::none);
}

}  // namespace
