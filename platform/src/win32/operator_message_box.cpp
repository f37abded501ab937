// The person at a Windows station answering a prompt in a modal message box.
#include "operator_message_box.h"

#include <iostream>
#include <string>

#include "../operator_person.h"
#include "error_text.h"

namespace platform::detail {

UINT message_box_style(buttons choice) {
  // The warning icon: a prompt asks the operator to act on the station before the test goes on.
  return static_cast<UINT>(choice) | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST;
}

answer message_box_answer(int result, buttons choice) {
  for (answer a : answers_of(choice)) {
    if (static_cast<int>(a) == result) return a;
  }
  return answer::none;
}

answer ask_person(std::string_view caption, std::string_view text, buttons choice) {
  const std::string caption_text(caption);
  const std::string body(text);
  const int result = MessageBoxA(nullptr, body.c_str(), caption_text.c_str(), message_box_style(choice));
  if (result == 0) {
    std::cerr << "operator: the message box for prompt \"" << caption << "\" could not be shown: "
              << windows_error_text(GetLastError()) << "\n";
  }
  return message_box_answer(result, choice);
}

}  // namespace platform::detail
