// Fuzz target: zamdiag's boot image reader over arbitrary bytes, as the -R download reads
// them; the first byte tells after how many pieces the card refuses a write (0: never).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "boot_image.h"
#include "code_download.h"
#include "support/reader_limit.h"

// Every data byte handed over is read into this, so that reading past a piece shows.
namespace {
volatile uint8_t last_byte;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, zamdiag::max_boot_image);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint32_t refuse_after = data[0];
  std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  uint32_t pieces = 0;
  uint64_t total = 0;
  const zamdiag::boot_fault fault = zamdiag::read_boot_image(in, [&](const zamdiag::code_record& r) {
    // Pieces are never empty nor longer than a driver write takes, and lie in the image.
    if (r.length == 0 || r.length > zamdiag::max_code_piece) std::abort();
    total += r.length;
    if (total > size) std::abort();
    for (uint32_t i = 0; i < r.length; ++i) last_byte = r.data[i];
    return refuse_after == 0 || ++pieces < refuse_after;
  });
  if (fault == zamdiag::boot_fault::stopped && refuse_after == 0) std::abort();
  return 0;
}
