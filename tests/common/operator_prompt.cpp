// Operator prompts of the compliance tests: OK/Cancel message boxes.
#include "operator_prompt.h"

#include "platform/operator.h"

namespace zam {

namespace {

std::string& first_unanswered() {
  static std::string text;
  return text;
}

}  // namespace

bool ask_operator_ok(const char* text) {
  const platform::answer answer =
      platform::ask_operator(operator_caption, text, platform::buttons::ok_cancel);
  if (answer == platform::answer::none && first_unanswered().empty()) {
    first_unanswered() = platform::operator_failure();
    if (first_unanswered().empty()) first_unanswered() = "the prompt was left unanswered";
  }
  return answer == platform::answer::ok;
}

std::string unanswered_prompt() { return first_unanswered(); }

}  // namespace zam
