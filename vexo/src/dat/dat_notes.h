// The notes the DAT reader keeps beside each record it fills: which numbers held no digit
// or had to be cut to fit their field.
#pragma once

#include <vector>

#include "vexo.h"

namespace vexo::dat {

// Replaces the notes kept for `info` (an empty list forgets the record).
void keep_notes(const VEXO_DAT_INFO_t* info, std::vector<VEXO_DAT_NUMBER_NOTE_t> notes);

// The notes kept for `info`, empty when there are none.
std::vector<VEXO_DAT_NUMBER_NOTE_t> notes_of(const VEXO_DAT_INFO_t* info);

}  // namespace vexo::dat
