// Fuzz target: the topology script parser and builder, then the walks and checks over
// the hierarchy they build.
#include <cstddef>
#include <cstdint>

#include "lattix/lattix.h"
#include "support/input_file.h"
#include "support/reader_limit.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zam_fuzz::use_reader_limit(argc, argv, kMaxScriptFileBytes + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zam_fuzz::input_file file("topology_script");
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;
  if (!scriptParser(file.write(data, size).c_str(), devices, connections, count, result, handler))
    return 0;
  busEnumeration(handler);
  for (topologyIterator it(handler->getRequestHandler()); it.getDevice() != nullptr; it.next())
    it.getDepth();
  findBusEnumerationError(handler);
  releaseOverlapList(findBarOverlap(handler, false));
  for (_BRIDGE_WINDOW_TYPE type : {IO_WINDOW, MEM_WINDOW, PREFETCH_WINDOW})
    FindBridgeWindowError(handler, type, true);
  releaseAspmErrorList(findAspmError(handler));
  releaseAddressList(findPossibleL1Enables(handler));
  delete handler;
  delete result;
  return 0;
}
