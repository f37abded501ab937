// Operator prompt backends: tty (the person at the station), auto, script:FILE and lab.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "console_input.h"
#include "operator_person.h"
#include "operator_reply.h"
#include "operator_script.h"
#include "platform/lab_client.h"
#include "platform/operator.h"

namespace platform {
namespace {

answer ask_script(const std::string& path, std::string_view caption,
                  const std::vector<answer>& offered) {
  const std::optional<std::string> reply = detail::next_script_answer(path, caption);
  if (!reply) return answer::none;
  const answer a = detail::match_reply(*reply, offered);
  if (a == answer::none) {
    std::cerr << "operator: answer \"" << *reply << "\" of script " << path
              << " is not one of " << detail::offered_text(offered) << " for prompt \"" << caption
              << "\"\n";
  }
  return a;
}

// The virtual operator of the lab: the daemon reads the prompt and answers as a person at
// the bench would.
answer ask_lab(std::string_view caption, std::string_view text, buttons choice,
               const std::vector<answer>& offered) {
  const char* socket = std::getenv("ZAMSIM_SOCKET");
  if (socket == nullptr || *socket == '\0') {
    std::cerr << "operator: ZAM_OPERATOR=lab needs ZAMSIM_SOCKET; prompt \"" << caption
              << "\" left unanswered\n";
    return answer::none;
  }
  std::string request(8, '\0');
  lab::put_le32(reinterpret_cast<uint8_t*>(request.data()), static_cast<uint32_t>(choice));
  lab::put_le32(reinterpret_cast<uint8_t*>(request.data()) + 4, static_cast<uint32_t>(caption.size()));
  request.append(caption);
  request.append(text);
  lab_client client(socket);
  std::string reply;
  if (client.call_text(lab::operation::prompt, request, reply) != 0 || reply.size() != 4) {
    std::cerr << "operator: the lab did not answer prompt \"" << caption << "\"\n";
    return answer::none;
  }
  const auto a = static_cast<answer>(lab::get_le32(reinterpret_cast<const uint8_t*>(reply.data())));
  for (answer o : offered) {
    if (o == a) return a;
  }
  return answer::none;
}

}  // namespace

std::string operator_backend() {
  const char* chosen = std::getenv("ZAM_OPERATOR");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return detail::standard_input_is_terminal() ? "tty" : "auto";
}

void reset_operator() { detail::reset_script(); }

answer ask_operator(std::string_view caption, std::string_view text, buttons choice) {
  const std::vector<answer> offered = answers_of(choice);
  const char* chosen = std::getenv("ZAM_OPERATOR");
  const bool named = chosen != nullptr && *chosen != '\0';
  const std::string backend = operator_backend();

  if (backend == "tty") return detail::ask_person(caption, text, choice);
  if (backend.rfind("script:", 0) == 0) return ask_script(backend.substr(7), caption, offered);
  if (backend == "lab") return ask_lab(caption, text, choice, offered);
  if (backend == "auto") {
    if (!named) {
      std::cerr << "operator: no terminal and no ZAM_OPERATOR; answering \""
                << answer_label(offered.front()) << "\" to \"" << caption << "\"\n";
    }
    return offered.front();
  }
  std::cerr << "operator: unknown backend \"" << backend
            << "\" in ZAM_OPERATOR (use tty, auto, script:FILE or lab); prompt \"" << caption
            << "\" left unanswered\n";
  return answer::none;
}

}  // namespace platform
