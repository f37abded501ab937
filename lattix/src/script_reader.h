// Reads topology script text into device, function and modifier records.
#pragma once

#include <string>

#include "script_model.h"

namespace lattix_script {

// Fills `model` from the script text. On failure returns false with the failure lines
// in `messages` (each ending in a line end). Statements that are read although something
// in them is odd (a value cut to its field, one without effect) add a line to `warnings`.
bool readScript(const std::string& text, scriptModel& model, std::string& messages,
                std::string& warnings);

// Appends one printf-formatted line to `messages` (bounded).
void appendMessage(std::string& messages, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace lattix_script
