// Turns script records into devices, buses, a topology and a packet handler.
#pragma once

#include <string>

#include "script_model.h"

class device;
class packetHandler;
class topology;

namespace lattix_script {

// Builds the hierarchy the records describe. On failure returns false with the failure
// lines in `messages` and nothing allocated.
bool buildScript(scriptModel& model, topology*& result, packetHandler*& handler,
                 std::string& messages);

}  // namespace lattix_script
