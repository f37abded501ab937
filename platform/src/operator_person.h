// The person at the station answering a prompt: a terminal prompt on POSIX, a message box on
// Windows (the "tty" backend of ZAM_OPERATOR).
#pragma once

#include <string_view>

#include "platform/operator.h"

namespace platform::detail {

// Shows the prompt and waits for the person's answer; answer::none when none came (input
// closed, the box could not be shown).
answer ask_person(std::string_view caption, std::string_view text, buttons choice);

}  // namespace platform::detail
