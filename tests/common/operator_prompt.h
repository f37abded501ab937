// Operator prompts of the compliance tests: OK/Cancel message boxes.
#pragma once

namespace zam {

inline constexpr const char* operator_caption = "MESSAGE TO OPERATOR FROM TEST";

// Asks the operator with OK and Cancel; false when the prompt was cancelled (or could not be
// answered).
bool ask_operator_ok(const char* text);

}  // namespace zam
