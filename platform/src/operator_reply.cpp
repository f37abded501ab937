// Typed or scripted replies to an operator prompt: matching them to the offered buttons.
#include "operator_reply.h"

#include <cstdlib>

#include "operator_script.h"

namespace platform::detail {

answer match_reply(const std::string& reply, const std::vector<answer>& offered) {
  const std::string text = trim_reply(reply);
  if (text.empty()) return answer::none;
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() && *end == '\0') {
    if (number >= 1 && static_cast<std::size_t>(number) <= offered.size()) return offered[number - 1];
    return answer::none;
  }
  const answer named = parse_answer(text);
  for (answer a : offered) {
    if (a == named) return a;
  }
  return answer::none;
}

std::string offered_text(const std::vector<answer>& offered) {
  std::string text;
  for (std::size_t i = 0; i < offered.size(); ++i) {
    if (i) text += "  ";
    text += "[" + std::to_string(i + 1) + "] " + std::string(answer_label(offered[i]));
  }
  return text;
}

}  // namespace platform::detail
