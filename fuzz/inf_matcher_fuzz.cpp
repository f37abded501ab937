// Fuzz target: Brumby's INF line matcher over arbitrary file contents, with the needles
// taken from the sample packages (a class GUID and a hardware ID).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cleaner.h"
#include "support/input_file.h"
#include "support/reader_limit.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, brumby::max_inf_file_bytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("inf");
  static const std::vector<std::string> none;
  static const std::vector<std::string> guid{"{4d36e97d-e325-11ce-bfc1-08002be10318}"};
  static const std::vector<std::string> both{"{4d36e97d-e325-11ce-bfc1-08002be10318}",
                                             "PCI\\VEN_8086"};
  const std::string& path = file.write(data, size);
  std::string reason;
  brumby::inf_matches(path, none, &reason);
  brumby::inf_matches(path, guid, &reason);
  brumby::inf_matches(path, both, &reason);
  // The first bytes as a file name, against an INF name and against itself.
  const std::string name(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
  brumby::is_pnf_companion("oem12.inf", name);
  brumby::is_pnf_companion(name, name);
  return 0;
}
