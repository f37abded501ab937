// Test support: a hardware interface library with chosen exports left out, for binding tests.
// Built several times: FAKE_OMIT_CLOSE drops ORVENCloseHardwareDriver, FAKE_OMIT_TLP drops
// ORVENGenerateTLP. Reads never deliver a request.
#include <cstdint>

#include "zam_export.h"

#define FAKE_API extern "C" ZAM_EXPORT

FAKE_API uint32_t ORVENInitHardwareDriver(uint32_t) { return 0; }
#ifndef FAKE_OMIT_CLOSE
FAKE_API uint32_t ORVENCloseHardwareDriver() { return 0; }
#endif
FAKE_API uint32_t ORVENReadConfigRequest(uint32_t, uint32_t, uint32_t* bytes, uint32_t*) {
  if (bytes != nullptr) *bytes = 0;
  return 0x80000009u;
}
FAKE_API uint32_t ORVENWriteConfigCompletion(const uint32_t*, uint32_t, uint32_t) { return 0; }
#ifndef FAKE_OMIT_TLP
FAKE_API uint32_t ORVENGenerateTLP() { return 0x80000007u; }
#endif
