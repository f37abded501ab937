// Operator prompt backends: tty (the person at the station), auto, script:FILE and lab.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "console_input.h"
#include "operator_failure.h"
#include "operator_person.h"
#include "operator_reply.h"
#include "operator_script.h"
#include "platform/lab_client.h"
#include "platform/operator.h"

namespace platform {
namespace {

answer ask_chosen_backend(std::string_view caption, std::string_view text, buttons choice);

answer ask_script(const std::string& path, std::string_view caption,
                  const std::vector<answer>& offered) {
  const std::optional<std::string> reply = detail::next_script_answer(path, caption);
  if (!reply) return answer::none;
  const answer a = detail::match_reply(*reply, offered);
  if (a == answer::none) {
    detail::unanswered("operator: answer \"" + *reply + "\" of script " + path + " is not one of " +
                       detail::offered_text(offered) + " for prompt \"" + std::string(caption) + "\"");
  }
  return a;
}

// The virtual operator of the lab: the daemon reads the prompt and answers as a person at
// the bench would.
answer ask_lab(std::string_view caption, std::string_view text, buttons choice,
               const std::vector<answer>& offered) {
  const char* socket = std::getenv("ZAMSIM_SOCKET");
  if (socket == nullptr || *socket == '\0') {
    detail::unanswered("operator: ZAM_OPERATOR=lab needs ZAMSIM_SOCKET; prompt \"" +
                       std::string(caption) + "\" left unanswered");
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
    std::string why = client.connect_error();
    if (why.empty()) why = client.loss();
    detail::unanswered("operator: the lab at ZAMSIM_SOCKET=" + std::string(socket) +
                       " did not answer prompt \"" + std::string(caption) + "\"" +
                       (why.empty() ? "" : ": " + why));
    return answer::none;
  }
  const auto a = static_cast<answer>(lab::get_le32(reinterpret_cast<const uint8_t*>(reply.data())));
  for (answer o : offered) {
    if (o == a) return a;
  }
  detail::unanswered("operator: the lab gave an answer that prompt \"" + std::string(caption) +
                     "\" does not offer");
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
  detail::clear_unanswered();
  const answer a = ask_chosen_backend(caption, text, choice);
  if (a == answer::none && operator_failure().empty()) {
    detail::unanswered("operator: prompt \"" + std::string(caption) + "\" left unanswered by ZAM_OPERATOR=" +
                       operator_backend());
  }
  return a;
}

namespace {

answer ask_chosen_backend(std::string_view caption, std::string_view text, buttons choice) {
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
  detail::unanswered("operator: unknown backend \"" + backend +
                     "\" in ZAM_OPERATOR (use tty, auto, script:FILE or lab); prompt \"" +
                     std::string(caption) + "\" left unanswered");
  return answer::none;
}

}  // namespace

}  // namespace platform
