// The operator prompt as a Windows message box: its style and the answer it returned.
#pragma once

#include <windows.h>

#include "platform/operator.h"

namespace platform::detail {

// MessageBoxA's style for a button set: the set (numbered as MB_OK .. MB_RETRYCANCEL), the
// question icon, brought to the front of the station's screen.
UINT message_box_style(buttons choice);

// The answer of MessageBoxA's result (IDOK .. IDNO): answer::none when the box failed (0) or
// gave a button the set does not offer.
answer message_box_answer(int result, buttons choice);

}  // namespace platform::detail
