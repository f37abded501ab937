// Fuzz target: the engine's packet handler fed arbitrary request words (16 bytes each)
// against the lab's default station hierarchy.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lattix/lattix.h"

namespace {

// The station's hierarchy, built once; it lives as long as the process.
topology* stationTopology = nullptr;

packetHandler* stationHandler() {
  static packetHandler* handler = [] {
    device** devices = nullptr;
    int** connections = nullptr;
    int count = 0;
    packetHandler* built = nullptr;
    if (!scriptParser(ZAM_FUZZ_STATION_SCRIPT, devices, connections, count, stationTopology,
                      built)) {
      std::fprintf(stderr, "packet_handler_fuzz: cannot build %s\n", ZAM_FUZZ_STATION_SCRIPT);
      std::abort();
    }
    busEnumeration(built);
    return built;
  }();
  return handler;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  packetHandler* handler = stationHandler();
  for (size_t at = 0; at + 16 <= size; at += 16) {
    uint32_t request[4];
    std::memcpy(request, data + at, sizeof request);
    releaseCompletion(handler->handle(request));
  }
  return 0;
}
