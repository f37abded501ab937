// The person at a terminal answering a prompt: the buttons listed, a number or label typed.
#include <iostream>
#include <string>

#include "../operator_person.h"
#include "../operator_failure.h"
#include "../operator_reply.h"

namespace platform::detail {

answer ask_person(std::string_view caption, std::string_view text, buttons choice) {
  const std::vector<answer> offered = answers_of(choice);
  std::cout << "\n=== " << caption << " ===\n" << text << "\n";
  for (;;) {
    std::cout << offered_text(offered) << " > " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) {
      unanswered("operator: input closed; prompt \"" + std::string(caption) + "\" left unanswered");
      return answer::none;
    }
    const answer a = match_reply(reply, offered);
    if (a != answer::none) return a;
    std::cout << "Please type one of the numbers or labels shown.\n";
  }
}

}  // namespace platform::detail
