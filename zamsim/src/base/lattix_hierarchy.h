// The station hierarchy built by the Lattix engine from a topology script; configuration
// requests from the root complex go through the engine's packet handler.
#pragma once

#include <memory>
#include <string>

#include "base/hierarchy.h"

class packetHandler;

namespace zamsim {

// Parses the topology script; nullptr with `error` set (the engine's own messages
// included) when it does not build.
std::unique_ptr<hierarchy> make_lattix_hierarchy(const std::string& script_path, std::string& error);

// The engine's packet handler behind a hierarchy that make_lattix_hierarchy made (for the
// engine's enumeration checks); nullptr for any other hierarchy.
packetHandler* packet_handler_of(hierarchy& tree);

}  // namespace zamsim
