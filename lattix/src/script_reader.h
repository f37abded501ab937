// Reads topology script text into device, function and modifier records.
#pragma once

#include <string>

#include "script_model.h"

namespace lattix_script {

// Fills `model` from the script text. On failure returns false with the failure lines
// in `messages` (each ending in a line end).
bool readScript(const std::string& text, scriptModel& model, std::string& messages);

// Appends one printf-formatted line to `messages` (bounded).
void appendMessage(std::string& messages, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace lattix_script
