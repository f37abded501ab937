// The station hierarchy built by the Lattix engine from a topology script; configuration
// requests from the root complex go through the engine's packet handler.
#pragma once

#include <memory>
#include <string>

#include "hierarchy.h"

namespace zamsim {

// Parses the topology script; nullptr with `error` set (the engine's own messages
// included) when it does not build.
std::unique_ptr<hierarchy> make_lattix_hierarchy(const std::string& script_path, std::string& error);

}  // namespace zamsim
