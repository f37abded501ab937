// Builds a simulated hierarchy from a topology script (.test file).
//
// On success every output is filled and the caller owns `result` and `handler`: deleting
// the topology releases the device array, the devices, the connection table and the
// buses (so `devices` and `connections` stay valid exactly as long as `result`). On
// failure the parser prints its messages on standard output, ending with
// "Unable to parse script file <path>", and every output is null or 0. Statements read
// past although something in them is odd (a value cut to its field, a value without
// effect, a mask that is not a number) give "Warning: line N: ..." lines on standard error.
//
// Refused before anything is read: a path that is not a regular file (a folder, a device, a
// pipe) and a file larger than kMaxScriptFileBytes. A script without any device section
// builds nothing and is refused too. A capability or BAR that does not fit where the script
// puts it gives a "Warning: Device D Function F: ..." line on standard error and leaves its
// status in the topology's status (0 when everything was placed); the script still builds.
#pragma once

#include <cstddef>

#include "lattix/lattix_export.h"

// The largest script file the parser reads (the shipped scripts hold a few KB).
inline constexpr std::size_t kMaxScriptFileBytes = 1024 * 1024;

class device;
class packetHandler;
class topology;

LATTIX_API bool scriptParser(const char* path, device**& devices, int**& connections,
                             int& count, topology*& result, packetHandler*& handler);
