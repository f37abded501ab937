// The per-case packet log: each request with its completion, raw or decoded, and the
// final register state of every simulated function.
#pragma once

#include <cstdint>
#include <string>

#include "vexo.h"

class packetHandler;

namespace fwtool {

// One packet as the trace prints it: raw words (log_type 1) or decoded, ending in "\n".
std::string packet_text(const uint32_t* words, uint32_t log_type);

// Writes "Received: " and the request, a tab, "Sent: " and the completion (or
// "NO PACKET"), and a line end into the packet log.
void trace_request(VEXO_LOG_HANDLE_t log, const uint32_t* request, const uint32_t* completion, uint32_t log_type);

// Writes the final registers of every implemented function of the hierarchy.
void dump_final_registers(VEXO_LOG_HANDLE_t log, const packetHandler& handler);

}  // namespace fwtool
