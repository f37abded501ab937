// Fuzz target: the lab's station files (a profile naming a topology and the roles).
#include <cstddef>
#include <cstdint>
#include <string>

#include "station/station.h"
#include "support/input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("station");
  std::string error;
  zamsim::load_station(file.write(data, size), error);
  zamsim::parse_number(std::string(reinterpret_cast<const char*>(data), size < 24 ? size : 24));
  return 0;
}
