// Fuzz target: the lab's station files (a profile naming a topology and the roles).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/profile.h"
#include "station/station.h"
#include "support/input_file.h"
#include "support/reader_limit.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, platform::max_profile_file_bytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("station");
  std::string error;
  zamsim::load_station(file.write(data, size), error);
  zamsim::parse_number(std::string(reinterpret_cast<const char*>(data), size < 24 ? size : 24));
  return 0;
}
