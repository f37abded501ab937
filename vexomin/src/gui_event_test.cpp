// The event object of worker-mode dialogs.
#include <gtest/gtest.h>

#include "vexomin.h"

namespace {

TEST(GuiEventTest, WaitReportsMarksAndResetsItself) {
  CVEXOGuiEvent event;
  EXPECT_EQ(event.Wait(0), VEXO_STATUS_TIMEOUT);
  EXPECT_EQ(event.IsSet(), 0);
  EXPECT_EQ(event.Signal(), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(event.Wait(0), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(event.Wait(0), VEXO_STATUS_TIMEOUT);  // auto reset
  event.Signal();
  EXPECT_EQ(event.Clear(), VEXO_STATUS_SUCCESS);
  EXPECT_EQ(event.IsSet(), 0);
  event.MarkTimedOut();
  event.Signal();
  EXPECT_EQ(event.IsSet(), 1);
  event.Signal();
  EXPECT_EQ(event.Wait(100), VEXO_STATUS_DIALOG_TIMED_OUT);
  event.MarkInput();
  event.Signal();
  EXPECT_EQ(event.Wait(0xFFFFFFFF), VEXO_STATUS_USER_INPUT);
  // Clearing clears the event alone; the marks stay.
  event.Signal();
  event.Clear();
  EXPECT_EQ(event.IsSet(), 0);
  event.Signal();
  EXPECT_EQ(event.Wait(0), VEXO_STATUS_USER_INPUT);
}

}  // namespace
