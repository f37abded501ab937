// Builds a simulated hierarchy from a topology script (.test file).
//
// On success every output is filled and the caller owns `result` and `handler`: deleting
// the topology releases the device array, the devices, the connection table and the
// buses (so `devices` and `connections` stay valid exactly as long as `result`). On
// failure the parser prints its messages on standard output, ending with
// "Unable to parse script file <path>", and every output is null or 0. Statements read
// past although something in them is odd (a value cut to its field, a value without
// effect, a mask that is not a number) give "Warning: line N: ..." lines on standard error.
#pragma once

#include "lattix/lattix_export.h"

class device;
class packetHandler;
class topology;

LATTIX_API bool scriptParser(const char* path, device**& devices, int**& connections,
                             int& count, topology*& result, packetHandler*& handler);
