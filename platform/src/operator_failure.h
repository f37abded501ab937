// Why the last operator prompt went unanswered, kept for the program that asked.
#pragma once

#include <string>

namespace platform::detail {

// Says on standard error why a prompt is left unanswered (the text, then a line end) and
// keeps the text for operator_failure().
void unanswered(const std::string& text);

// A new prompt begins: forgets the cause kept for the previous one.
void clear_unanswered();

}  // namespace platform::detail
