// Operator prompts of the compliance tests: OK/Cancel message boxes.
#include "operator_prompt.h"

#include "platform/operator.h"

namespace zam {

bool ask_operator_ok(const char* text) {
  return platform::ask_operator(operator_caption, text, platform::buttons::ok_cancel) ==
         platform::answer::ok;
}

}  // namespace zam
