// Fuzz target: the DAT file reader (an XML document from the bench).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/input_file.h"
#include "vexo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("dat_file");
  VEXO_DAT_INFO_t info{};
  parseDatFile(file.write(data, size).c_str(), &info);
  std::free(info.user_name);
  return 0;
}
