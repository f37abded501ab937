// The virtual operator: a bench person's answers, and a station's scripted answers first.
#include "operator/virtual_operator.h"

#include <gtest/gtest.h>

namespace zamsim {
namespace {

using platform::answer;
using platform::buttons;

TEST(VirtualOperatorTest, ScriptedAnswersComeFirstThenTheBenchPersonAnswers) {
  virtual_operator op({"Cancel", "2", "no", "Retry", "@cancel", "3"});
  EXPECT_EQ(op.answer("c", "Start the application", buttons::ok_cancel), answer::cancel);
  EXPECT_EQ(op.answer("c", "t", buttons::yes_no), answer::no);      // by number
  EXPECT_EQ(op.answer("c", "t", buttons::yes_no), answer::no);      // labels without regard to case
  EXPECT_EQ(op.answer("c", "t", buttons::ok), answer::none);        // does not fit: answers nothing
  EXPECT_EQ(op.answer_dialog(0, "c", "pick"), "@cancel");           // dialogs take the line as is
  EXPECT_EQ(op.answer("c", "t", buttons::ok_cancel), answer::none);  // no third button
  // The script is used up: OK, Yes, the first choice.
  EXPECT_EQ(op.answer("c", "t", buttons::ok_cancel), answer::ok);
  EXPECT_EQ(op.answer("c", "t", buttons::yes_no), answer::yes);
  EXPECT_EQ(op.answer_dialog(0, "c", "pick"), "@auto");
  EXPECT_NE(op.describe().find("-> Cancel (scripted \"Cancel\")"), std::string::npos) << op.describe();
}

}  // namespace
}  // namespace zamsim
