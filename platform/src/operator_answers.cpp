// Button sets and answer labels of operator prompts.
#include <cctype>

#include "platform/fs.h"
#include "platform/operator.h"

namespace platform {

std::vector<answer> answers_of(buttons choice) {
  switch (choice) {
    case buttons::ok: return {answer::ok};
    case buttons::ok_cancel: return {answer::ok, answer::cancel};
    case buttons::abort_retry_ignore: return {answer::abort, answer::retry, answer::ignore};
    case buttons::yes_no_cancel: return {answer::yes, answer::no, answer::cancel};
    case buttons::yes_no: return {answer::yes, answer::no};
    case buttons::retry_cancel: return {answer::retry, answer::cancel};
  }
  return {answer::ok};
}

std::string_view answer_label(answer a) {
  switch (a) {
    case answer::ok: return "OK";
    case answer::cancel: return "Cancel";
    case answer::abort: return "Abort";
    case answer::retry: return "Retry";
    case answer::ignore: return "Ignore";
    case answer::yes: return "Yes";
    case answer::no: return "No";
    case answer::none: break;
  }
  return "";
}

answer parse_answer(std::string_view label) {
  for (answer a : {answer::ok, answer::cancel, answer::abort, answer::retry, answer::ignore,
                   answer::yes, answer::no}) {
    const auto text = answer_label(a);
    if (text.size() == label.size() && wildcard_match(text, label)) return a;
  }
  return answer::none;
}

}  // namespace platform
