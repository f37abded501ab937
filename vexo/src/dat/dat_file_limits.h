// How much of a DAT file parseDatFile reads.
#pragma once

#include <cstddef>

namespace vexo::dat {

// The largest DAT file read whole (a bench's file is a few hundred bytes; a hundred DUT
// entries stay far below this).
inline constexpr std::size_t max_dat_file_bytes = 1024 * 1024;

}  // namespace vexo::dat
