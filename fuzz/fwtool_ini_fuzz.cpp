// Fuzz target: fwtool's ini reading (time-outs, log format, automation, the library name)
// and its number parser, over arbitrary bytes as the ini file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ini_settings.h"
#include "platform/profile.h"
#include "support/input_file.h"
#include "support/reader_limit.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, platform::max_profile_file_bytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("fwtool_ini");
  // The warnings quote the value read: they are written, but not kept.
  static std::FILE* warnings = std::fopen("/dev/null", "w");
  const std::string& path = file.write(data, size);
  fwtool::run_settings settings;
  fwtool::read_ini_settings(path, settings, warnings);
  // The behaviour the ini asks for is all or nothing, and automation follows its delay.
  if (settings.behaviour != settings.ini_behaviour ||
      (settings.behaviour != fwtool::normal_response && settings.behaviour != fwtool::drop_all) ||
      settings.automated != (settings.automation_delay_ms != 0)) {
    std::abort();
  }
  fwtool::read_dll_name(path);
  uint32_t value = 0;
  fwtool::parse_ini_number(std::string(reinterpret_cast<const char*>(data), size), value);
  return 0;
}
