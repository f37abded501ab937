// Operator prompts: the stand-in for modal message boxes.
//
// The backend comes from ZAM_OPERATOR: "tty" (a person at a terminal; the default when
// standard input is a terminal), "auto" (the first button, at once), "script:FILE" (answers
// read from FILE, one line per prompt), "lab" (the virtual operator of the lab). Without a
// terminal and without ZAM_OPERATOR, prompts take the auto answer and say so on standard
// error, so nothing ever waits for a person who is not there.
#pragma once

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

// The answers a button set offers, first button first.
std::vector<answer> answers_of(buttons choice);

// Label of an answer ("OK", "Cancel", "Yes", ...).
std::string_view answer_label(answer a);

// Parses an answer label without regard to case; answer::none when unknown.
answer parse_answer(std::string_view label);

// The backend ZAM_OPERATOR and the terminal select: "tty", "auto", "script:FILE" or "lab".
std::string operator_backend();

// Forgets the state of a script backend (its position in the file), so tests and programs
// that change ZAM_OPERATOR start afresh.
void reset_operator();

}  // namespace platform
