// Turning a typed or scripted line into a dialog answer, and the automatic answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/operator.h"

namespace platform::detail {

// The answer a line gives to the dialog, or nothing with the reason in *why.
std::optional<dialog_reply> parse_dialog_line(const dialog_request& request, std::string_view line,
                                              std::string* why);

// What the auto backend answers: the first entry, yes, the default number, empty text, OK.
dialog_reply automatic_reply(const dialog_request& request);

// A reply that ended without an answer.
dialog_reply ended_reply(dialog_end end);

// "10 s" or "250 ms", for prompts and time-out notices.
std::string describe_timeout(uint32_t timeout_ms);

// True when the request asks for a time-out (0 and wait_forever mean none).
bool has_timeout(const dialog_request& request);

}  // namespace platform::detail
