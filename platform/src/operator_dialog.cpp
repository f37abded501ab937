// Chooses the dialog backend from ZAM_OPERATOR; the auto and script backends.
#include <cstdlib>
#include <iostream>

#include "operator_dialog_backends.h"
#include "operator_dialog_reply.h"
#include "operator_script.h"
#include "platform/operator.h"

namespace platform {
namespace {

const char* kind_name(dialog_kind kind) {
  switch (kind) {
    case dialog_kind::choice: return "list";
    case dialog_kind::multi_choice: return "multiple-selection list";
    case dialog_kind::yes_no: return "yes/no";
    case dialog_kind::number: return "number";
    case dialog_kind::text: return "text";
    case dialog_kind::message: return "message";
  }
  return "dialog";
}

// A message the operator need not acknowledge consumes no answer.
bool needs_answer(const dialog_request& request) {
  return request.kind != dialog_kind::message || request.wait_for_operator;
}

dialog_reply ask_dialog_script(const std::string& path, const dialog_request& request) {
  if (!needs_answer(request)) return detail::ended_reply(dialog_end::answered);
  const std::optional<std::string> line = detail::next_script_answer(path, request.caption);
  if (!line) return detail::ended_reply(dialog_end::failed);
  if (*line == "@timeout") return detail::ended_reply(dialog_end::timed_out);
  if (*line == "@cancel") {
    dialog_reply reply = detail::ended_reply(dialog_end::cancelled);
    reply.by_operator = true;
    return reply;
  }
  std::string why;
  if (auto reply = detail::parse_dialog_line(request, *line, &why)) return *reply;
  std::cerr << "operator: answer \"" << *line << "\" of script " << path << " does not fit the "
            << kind_name(request.kind) << " dialog \"" << request.caption << "\": " << why << "\n";
  return detail::ended_reply(dialog_end::failed);
}

}  // namespace

dialog_reply ask_dialog(const dialog_request& request) {
  const char* chosen = std::getenv("ZAM_OPERATOR");
  const bool named = chosen != nullptr && *chosen != '\0';
  const std::string backend = operator_backend();

  if (backend == "tty") return detail::ask_dialog_tty(request);
  if (backend.rfind("script:", 0) == 0) return ask_dialog_script(backend.substr(7), request);
  if (backend == "auto") {
    if (!named && needs_answer(request)) {
      std::cerr << "operator: no terminal and no ZAM_OPERATOR; answering the "
                << kind_name(request.kind) << " dialog \"" << request.caption << "\" automatically\n";
    }
    return detail::automatic_reply(request);
  }
  if (backend == "lab") {
    // The virtual operator of the lab answers dialogs once the lab offers them.
    std::cerr << "operator: the lab operator does not answer " << kind_name(request.kind)
              << " dialogs yet; dialog \"" << request.caption << "\" left unanswered\n";
    return detail::ended_reply(dialog_end::failed);
  }
  std::cerr << "operator: unknown backend \"" << backend
            << "\" in ZAM_OPERATOR (use tty, auto, script:FILE or lab); dialog \"" << request.caption
            << "\" left unanswered\n";
  return detail::ended_reply(dialog_end::failed);
}

}  // namespace platform
