// Fuzz target: the DAT file reader (an XML document from the bench).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "dat/dat_file_limits.h"
#include "support/input_file.h"
#include "support/reader_limit.h"
#include "vexo.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, vexo::dat::max_dat_file_bytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("dat_file");
  VEXO_DAT_INFO_t info{};
  parseDatFile(file.write(data, size).c_str(), &info);
  std::free(info.user_name);
  return 0;
}
