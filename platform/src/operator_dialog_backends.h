// The dialog backends that ask_dialog chooses from.
#pragma once

#include "platform/operator.h"

namespace platform::detail {

// A person at the terminal: menus and prompts on standard output, answers typed on
// standard input, each dialog ended by its time-out or by its cancel flag.
dialog_reply ask_dialog_tty(const dialog_request& request);

}  // namespace platform::detail
