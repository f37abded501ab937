// Fuzz target: the profile (ini) reader, and a write into the same file read back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/profile.h"
#include "support/input_file.h"
#include "support/reader_limit.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, platform::max_profile_file_bytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("profile");
  const std::string& path = file.write(data, size);
  // Keys the suite reads, and a short buffer as the Windows call shape uses.
  platform::read_profile_string("DLL", "DLLName", "none", path);
  platform::read_profile_string("Station", "Topology", "", path, 8);
  char small[5];
  platform::get_profile_string("Card", "Mode", "x", small, sizeof small, path.c_str());
  // Section and key names taken from the input itself.
  const std::string text(reinterpret_cast<const char*>(data), size < 16 ? size : 16);
  platform::read_profile_string(text, text, "", path);
  platform::write_profile_string("Card", "Mode", "2", path);
  platform::read_profile_string("card", "mode", "", path);
  return 0;
}
