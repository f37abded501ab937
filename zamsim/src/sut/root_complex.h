// The system under test's root complex: its topology script, with the first device wired as
// the root port whose slot holds the card.
#pragma once

#include <memory>
#include <string>

#include "base/hierarchy.h"

namespace zamsim {

inline constexpr bdf sut_root_port_at{0, 0, 0};  // the script's first device

// Builds the root complex; nullptr with `error` set when the script is refused.
std::unique_ptr<hierarchy> make_root_complex(const std::string& script, std::string& error);

}  // namespace zamsim
