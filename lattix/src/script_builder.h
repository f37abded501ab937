// Turns script records into devices, buses, a topology and a packet handler.
#pragma once

#include <string>

#include "script_model.h"

class device;
class packetHandler;
class topology;

namespace lattix_script {

// Builds the hierarchy the records describe. On failure (no device at all, a shape the
// model cannot hold) returns false with the failure lines in `messages` and nothing
// allocated. A capability or BAR that its builder refuses leaves a line in `warnings` and
// its status in the hierarchy's status; the hierarchy is still built.
bool buildScript(scriptModel& model, topology*& result, packetHandler*& handler,
                 std::string& messages, std::string& warnings);

}  // namespace lattix_script
