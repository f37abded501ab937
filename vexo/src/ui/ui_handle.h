// UI handles: the live operator-input objects, so a stale or foreign handle is refused.
#pragma once

#include "ui/user_input.h"

namespace vexo {

// The object behind a handle that CreateUI made and CloseUI has not closed; null otherwise.
CVEXOUserInput* ui_from_handle(VEXO_UI_HANDLE_t handle);

}  // namespace vexo
