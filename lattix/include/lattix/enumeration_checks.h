// Checks of what a firmware did to a simulated hierarchy, and a reference bus numbering.
//
// Conventions:
// - Every check walks the hierarchy of a packetHandler from its root bus. A null handler
//   gives the "nothing found" result.
// - Devices are reported by the bus and device number they recorded from the last
//   configuration write they received (as the firmware addressed them), the function
//   number, and their script string.
// - Ownership: lists returned by findBarOverlap, findAspmError, findPossibleL0sEnables and
//   findPossibleL1Enables belong to the caller, who frees them with the matching release
//   function below (never with its own delete). The vectors of FindMemIOEnables and
//   FindASPMEnables live inside the library until it is unloaded; each call empties its
//   vector before filling it, so finish with one result before the next call.
// - Threads: FindMemIOEnables and FindASPMEnables share their library vectors and must not
//   run on two threads at once; the other checks keep no state of their own.
#pragma once

#include <cstdint>
#include <vector>

#include "lattix/lattix_export.h"
#include "lattix/types.h"

class bus;
class packetHandler;

// Result of the bus numbering check.
struct busEnumerationError {
  int errorFound = 0;       // 1 when a bridge's bus numbers are wrong
  int parentBus = 0;        // the bus number expected as primary
  uint8_t device = 0;       // slot of the offending bridge on its bus
  bool belowRoot = false;   // parentBus > 0
  // On error: the offending bridge's primary bus. Without error: the first bus number in
  // the checked range that no bridge claims, -1 when there is none.
  int busResult = -1;
  int primary = 0;
  int secondary = 0;
  int subordinate = 0;
};

// Overlap of two BARs; size is in address bits of the smaller region (0 = no overlap).
struct overlap {
  int32_t size = 0;
  uint8_t is64 = 0;  // compared in 64-bit form
  uint32_t low = 0;
  uint32_t high = 0;
};

constexpr int LX_SCRIPT_STRING_SIZE = 255;

struct overlapData {
  overlap result;
  address barA;  // bus, device, function, BAR offset, Type 1 flag
  address barB;
  uint8_t isMemory = 0;  // 0 = I/O
  char scriptA[LX_SCRIPT_STRING_SIZE] = {};
  char scriptB[LX_SCRIPT_STRING_SIZE] = {};
  bool aIs64 = false;
  bool bIs64 = false;
  uint32_t aLow = 0;
  uint32_t aHigh = 0;
  uint32_t bLow = 0;
  uint32_t bHigh = 0;
};

// A singly linked list of overlaps; destroying a node destroys the nodes after it.
class LATTIX_API overlapDataObj {
 public:
  explicit overlapDataObj(const overlapData& data);
  ~overlapDataObj();
  overlapDataObj(const overlapDataObj&) = delete;
  overlapDataObj& operator=(const overlapDataObj&) = delete;

  // Appends a node at the end of the list that starts here.
  void addData(const overlapData& data);
  overlapData getData() const { return data_; }
  overlapDataObj* getNext() const { return next_; }

 private:
  overlapData data_;
  overlapDataObj* next_ = nullptr;
  // Last node known to follow this one, so that appending stays cheap on long lists.
  overlapDataObj* tail_ = nullptr;
};

struct _MEM_IO_ENABLE_FAIL_DATA {
  uint32_t bus = 0;
  uint8_t device = 0;
  uint8_t function = 0;
  bool ioFailure = false;
  bool memFailure = false;
  bool actualEnable = false;
  bool expectedEnable = false;
  char script[LX_SCRIPT_STRING_SIZE + 1] = {};
};

struct _ASPM_ENABLE_FAIL_DATA {
  uint32_t bus = 0;
  uint8_t device = 0;
  uint8_t function = 0;
  uint32_t aspmControl = 0;  // link control bits 1..0
  char script[LX_SCRIPT_STRING_SIZE + 1] = {};
};

// Window values are addresses: base and limit of the window as the bridge decodes it
// (the prefetchable registers converted like the memory ones), with the upper 32 bits
// of the prefetchable window in the upper fields.
struct _BRIDGE_WINDOW_ERROR_INFO {
  bool errorFound = false;
  bool barOutside = false;
  bool childWindowOutside = false;
  uint32_t windowBase = 0;
  uint32_t windowLimit = 0;
  uint32_t windowBaseUpper = 0;
  uint32_t windowLimitUpper = 0;
  uint32_t bridgeBus = 0;
  uint8_t bridgeDevice = 0;
  uint8_t bridgeFunction = 0;
  char bridgeScript[LX_SCRIPT_STRING_SIZE] = {};
  uint32_t deviceBus = 0;
  uint8_t deviceDevice = 0;
  uint8_t deviceFunction = 0;
  uint32_t childBase = 0;
  uint32_t childBaseUpper = 0;
  uint32_t childLimit = 0;
  uint32_t childLimitUpper = 0;
  uint32_t barOffset = 0;
  uint32_t barStart = 0;
  uint32_t barStartUpper = 0;
  uint32_t barEnd = 0;
  bool endWrapped = false;  // the end of the BAR carries into the upper word
  char deviceScript[LX_SCRIPT_STRING_SIZE + 1] = {};
};

struct aspmErrorObj {
  int l0s = 0;  // 1 = L0s violation, 0 = L1 violation
  address where;
  uint32_t cumulatedLatency = 0;  // ns, own exit latency plus the bridges above
  uint32_t acceptableLatency = 0;  // ns
  aspmErrorObj* next = nullptr;
};

struct addressList {
  address where;
  addressList* next = nullptr;
};

LATTIX_API busEnumerationError findBusEnumerationError(packetHandler* handler);
// Checks the bridges on `onBus` against parent bus P and subordinate limit S.
LATTIX_API busEnumerationError subFindBusEnumerationError(bus* onBus, int parentBus,
                                                          int subordinateLimit);

LATTIX_API overlap detectBarOverlap(barData a, barData b);
// Every pair of overlapping BARs in walk order (only the first with stopAtFirst); null
// when there is none. Release with releaseOverlapList.
LATTIX_API overlapDataObj* findBarOverlap(packetHandler* handler, bool stopAtFirst);

// Always false; *result points at the library's vector of records.
LATTIX_API bool FindMemIOEnables(packetHandler* handler,
                                 std::vector<_MEM_IO_ENABLE_FAIL_DATA>** result, bool checkIO,
                                 bool checkMemory);
LATTIX_API bool FindASPMEnables(packetHandler* handler,
                                std::vector<_ASPM_ENABLE_FAIL_DATA>** result);

// First window violation below the root bus bridges; with ignorePrefetchable the memory
// window check leaves prefetchable BARs out.
LATTIX_API _BRIDGE_WINDOW_ERROR_INFO FindBridgeWindowError(packetHandler* handler,
                                                           _BRIDGE_WINDOW_TYPE type,
                                                           bool ignorePrefetchable);

// Functions whose acceptable L0s (else L1) latency is below their exit latency plus that
// of the bridges above them. Release with releaseAspmErrorList.
LATTIX_API aspmErrorObj* findAspmError(packetHandler* handler);
// Functions on which enabling L0s (L1) would leave the hierarchy without ASPM
// violations. Release with releaseAddressList.
LATTIX_API addressList* findPossibleL0sEnables(packetHandler* handler);
LATTIX_API addressList* findPossibleL1Enables(packetHandler* handler);

// Numbers the buses depth first through configuration requests, as a firmware would.
LATTIX_API void busEnumeration(packetHandler* handler);

// Release functions; null is ignored.
LATTIX_API void releaseOverlapList(overlapDataObj* list);
LATTIX_API void releaseAspmErrorList(aspmErrorObj* list);
LATTIX_API void releaseAddressList(addressList* list);
