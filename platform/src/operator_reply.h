// Typed or scripted replies to an operator prompt: matching them to the offered buttons.
#pragma once

#include <string>
#include <vector>

#include "platform/operator.h"

namespace platform::detail {

// Maps a reply (a label or a 1-based button number) to an offered answer; answer::none when
// it names none of them.
answer match_reply(const std::string& reply, const std::vector<answer>& offered);

// The offered buttons as "[1] OK  [2] Cancel".
std::string offered_text(const std::vector<answer>& offered);

}  // namespace platform::detail
