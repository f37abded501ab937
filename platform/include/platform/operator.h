// Operator prompts: the stand-in for modal message boxes.
//
// The backend comes from ZAM_OPERATOR: "tty" (a person at a terminal; the default when
// standard input is a terminal), "auto" (the first button, at once), "script:FILE" (answers
// read from FILE, one line per prompt), "lab" (the virtual operator of the lab). Without a
// terminal and without ZAM_OPERATOR, prompts take the auto answer and say so on standard
// error, so nothing ever waits for a person who is not there.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Button sets and answers, numbered as the Windows message box numbers them.
enum class buttons { ok = 0, ok_cancel = 1, abort_retry_ignore = 2, yes_no_cancel = 3, yes_no = 4, retry_cancel = 5 };
enum class answer { none = 0, ok = 1, cancel = 2, abort = 3, retry = 4, ignore = 5, yes = 6, no = 7 };

// Asks the operator; returns the button pressed. answer::none means the prompt could not be
// answered (a script that ran out, an unknown answer): callers treat it as a cancel.
answer ask_operator(std::string_view caption, std::string_view text, buttons choice);

// Why the last ask_operator prompt could not be answered (an unknown backend, an answer
// script that cannot be read or ran out, a lab that did not answer, input closed), as said
// on standard error; empty when it was answered.
std::string operator_failure();

// The answers a button set offers, first button first.
std::vector<answer> answers_of(buttons choice);

// Label of an answer ("OK", "Cancel", "Yes", ...).
std::string_view answer_label(answer a);

// Parses an answer label without regard to case; answer::none when unknown.
answer parse_answer(std::string_view label);

// The backend ZAM_OPERATOR and the terminal select: "tty", "auto", "script:FILE" or "lab".
std::string operator_backend();

// Richer dialogs for the dialog library: menus, lists, yes/no, numbers, text and messages,
// each with an optional time-out, through the same backends as ask_operator. A script
// backend gives one line per dialog ("@timeout" and "@cancel" act out those endings); a
// message that does not wait for the operator consumes no line.
enum class dialog_kind { choice, multi_choice, yes_no, number, text, message };
enum class dialog_end { answered, cancelled, timed_out, failed };

inline constexpr uint32_t no_selection = 0xFFFFFFFFu;

struct dialog_request {
  dialog_kind kind = dialog_kind::message;
  std::string caption;               // dialog header
  std::string title;                 // extra first line of number and text dialogs
  std::string text;                  // prompt, question or message
  std::vector<std::string> items;    // choice and multi_choice entries
  std::string yes_label = "Yes";
  std::string no_label = "No";
  std::string button = "OK";         // message dialogs
  bool hexadecimal = false;          // number dialogs: typed in hex
  uint32_t default_number = 0;       // number dialogs: empty entry and auto answer
  bool wait_for_operator = true;     // message dialogs: false shows it and ends at once
  uint32_t timeout_ms = 0;           // 0 or wait_forever (0xFFFFFFFF): no time-out
  const std::atomic<bool>* cancel = nullptr;  // another thread sets it to end the dialog
};

struct dialog_reply {
  dialog_end end = dialog_end::failed;
  bool by_operator = false;          // someone (a person, a script, auto) answered
  uint32_t index = no_selection;     // choice
  std::vector<uint32_t> indices;     // multi_choice, ascending, no repeats
  bool yes = false;                  // yes_no
  bool has_number = false;           // number
  uint32_t number = 0;
  std::string text;                  // text
};

// Shows a dialog and returns when it has ended. Failures (no answer left in a script,
// input closed, unknown backend) are explained on standard error.
dialog_reply ask_dialog(const dialog_request& request);

// Forgets the state of a script backend (its position in the file), so tests and programs
// that change ZAM_OPERATOR start afresh.
void reset_operator();

}  // namespace platform
