// Fuzz target: the lab daemon's frame decoder and request dispatch. The input is a
// sequence of frames (a 28-byte request header, then its input bytes) sent to a booted
// minimal station.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "server/lab_server.h"
#include "base/lattix_hierarchy.h"
#include "platform/lab_protocol.h"

namespace lab = platform::lab;

namespace {

// The fuzz run keeps answers small; a larger capacity only makes the answer buffer larger.
constexpr uint32_t kMaxCapacity = 1u << 20;

zamsim::lab_station& station() {
  static zamsim::lab_station* booted = [] {
    std::string error;
    auto config = zamsim::load_station(ZAM_FUZZ_STATION_FILE, error);
    auto tree = config ? zamsim::make_lattix_hierarchy(config->topology_path, error) : nullptr;
    if (!tree) {
      std::fprintf(stderr, "lab_frames_fuzz: %s\n", error.c_str());
      std::abort();
    }
    auto* made = new zamsim::lab_station(*config, std::move(tree));
    if (!made->boot(error)) {
      std::fprintf(stderr, "lab_frames_fuzz: %s\n", error.c_str());
      std::abort();
    }
    return made;  // lives as long as the process
  }();
  return *booted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zamsim::lab_server server(station());
  std::vector<uint8_t> input, output;
  size_t at = 0;
  while (at + lab::request_header_size <= size) {
    lab::request_header request = lab::decode_request(data + at);
    at += lab::request_header_size;
    // The fuzz input carries no magic; every frame is given the right one, so the
    // dispatch behind the check is reached.
    request.magic = lab::magic;
    if (!lab::well_formed(request)) return 0;  // the daemon closes such a client
    const size_t length = std::min<size_t>(request.input_length, size - at);
    input.assign(data + at, data + at + length);
    at += length;
    server.handle(request.operation, request.handle, request.code, input,
                  std::min(request.output_capacity, kMaxCapacity), output);
  }
  return 0;
}
