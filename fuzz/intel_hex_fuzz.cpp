// Fuzz target: zamdiag's Intel Hex reader over arbitrary text, as the -H download reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "code_download.h"
#include "intel_hex.h"
#include "support/reader_limit.h"

// Every data byte handed over is read into this, so that reading past a record shows.
namespace {
volatile uint8_t last_byte;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, zamdiag::max_hex_file);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zamdiag::hex_outcome outcome = zamdiag::read_intel_hex(text, [&](const zamdiag::code_record& r) {
    // Every record handed over is a checked data record of 1 to 16 bytes at a 16-bit address.
    if (r.length == 0 || r.length > zamdiag::max_hex_record || r.address > 0xFFFF) std::abort();
    for (uint32_t i = 0; i < r.length; ++i) last_byte = r.data[i];
    return true;
  });
  if (outcome.fault == zamdiag::hex_fault::stopped) std::abort();  // the sink never refused
  return 0;
}
