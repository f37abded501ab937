// Status values that Lattix objects report through their integer status fields.
#pragma once

namespace lattix_status {
constexpr int ok = 0;
// Routing: the device answered a request addressed to another device number.
constexpr int answeredForOtherDevice = 2;
constexpr int noDevice = -3;
constexpr int badRequest = -4;
constexpr int outOfMemory = -5;
constexpr int functionExists = -8;
constexpr int noFunction = -9;
// Capability (or BAR) offset outside the range the structure fits in.
constexpr int offsetOutOfRange = -10;
constexpr int offsetNotAligned = -12;
constexpr int noResponse = -13;
}  // namespace lattix_status
