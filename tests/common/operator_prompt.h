// Operator prompts of the compliance tests: OK/Cancel message boxes.
#pragma once

#include <string>

namespace zam {

inline constexpr const char* operator_caption = "MESSAGE TO OPERATOR FROM TEST";

// Asks the operator with OK and Cancel; false when the prompt was cancelled (or could not be
// answered).
bool ask_operator_ok(const char* text);

// Why the first prompt that no operator could answer went unanswered (the operator's
// backend said why); empty while every prompt was answered, with OK or Cancel.
std::string unanswered_prompt();

}  // namespace zam
