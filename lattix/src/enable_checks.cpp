// Command register enables and ASPM control bits left as the firmware set them.
#include "lattix/enumeration_checks.h"
#include "lattix/topology_iterator.h"
#include "check_support.h"

namespace {

// Results live here until the library is unloaded; each call empties its vector first.
std::vector<_MEM_IO_ENABLE_FAIL_DATA> memIoResults;
std::vector<_ASPM_ENABLE_FAIL_DATA> aspmResults;

template <typename record>
record describe(const device& dev, uint8_t fn) {
  record r;
  r.bus = dev.GetBusNum();
  r.device = dev.GetDevNum();
  r.function = fn;
  lattix_checks::copyScript(r.script, sizeof r.script, dev);
  return r;
}

// Calls visit(device, fn) for every implemented function in walk order.
template <typename visitor>
void forEachFunction(const packetHandler* handler, visitor visit) {
  if (!handler || !handler->getRequestHandler()) return;
  for (topologyIterator it(handler->getRequestHandler()); it.getDevice(); it.next())
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn)
      if (it.getDevice()->isFunction(fn)) visit(*it.getDevice(), fn);
}

}  // namespace

bool FindMemIOEnables(packetHandler* handler, std::vector<_MEM_IO_ENABLE_FAIL_DATA>** result,
                      bool checkIO, bool checkMemory) {
  memIoResults.clear();
  if (result) *result = &memIoResults;
  forEachFunction(handler, [&](const device& dev, uint8_t fn) {
    if (checkIO && dev.GetIOEnable(fn) != dev.GetExpectedIOEnable(fn) && !dev.GetIgnoreIOEnable(fn)) {
      auto r = describe<_MEM_IO_ENABLE_FAIL_DATA>(dev, fn);
      r.ioFailure = true;
      r.actualEnable = dev.GetIOEnable(fn);
      r.expectedEnable = dev.GetExpectedIOEnable(fn);
      memIoResults.push_back(r);
    }
    if (checkMemory && dev.GetMemEnable(fn) != dev.GetExpectedMemEnable(fn) &&
        !dev.GetIgnoreMemEnable(fn)) {
      auto r = describe<_MEM_IO_ENABLE_FAIL_DATA>(dev, fn);
      r.memFailure = true;
      r.actualEnable = dev.GetMemEnable(fn);
      r.expectedEnable = dev.GetExpectedMemEnable(fn);
      memIoResults.push_back(r);
    }
  });
  return false;
}

bool FindASPMEnables(packetHandler* handler, std::vector<_ASPM_ENABLE_FAIL_DATA>** result) {
  aspmResults.clear();
  if (result) *result = &aspmResults;
  forEachFunction(handler, [&](const device& dev, uint8_t fn) {
    uint32_t control = 0;
    // GetASPMControl is false when the function has a PCI Express capability.
    if (dev.GetASPMControl(fn, &control) || control == 0) return;
    auto r = describe<_ASPM_ENABLE_FAIL_DATA>(dev, fn);
    r.aspmControl = control;
    aspmResults.push_back(r);
  });
  return false;
}
