// Bridge windows: every BAR and child window below a bridge must lie inside its window.
#include "lattix/bus.h"
#include "lattix/enumeration_checks.h"
#include "lattix/pci_regs.h"
#include "check_support.h"

namespace {

constexpr uint16_t kFirstBarOffset = LX_BAR0;
constexpr uint16_t kLastBarOffset = LX_ROM_ADDRESS1;

// A window as GetBridgeWindowInfo reports it (what the error record holds) and as the
// bridge decodes it in 64-bit addresses (what the check compares).
struct window {
  uint32_t base = 0, limit = 0, baseUpper = 0, limitUpper = 0;
  uint64_t first = 0, last = 0;
  bool empty() const { return last < first; }
};

window windowOf(const device& dev, uint8_t fn, _BRIDGE_WINDOW_TYPE type) {
  window w;
  dev.GetBridgeWindowInfo(fn, type, &w.base, &w.limit, &w.baseUpper, &w.limitUpper);
  if (type == PREFETCH_WINDOW) {
    // The prefetchable registers come raw; they decode like the memory window, with
    // address bits 63..32 in the upper registers (PCIe Base 4.0 sec 7.5.1.3.9).
    const uint32_t low = (w.base & 0xFFF0u) << 16;
    const uint32_t high = ((w.limit & 0xFFF0u) << 16) | 0xFFFFFu;
    w.first = static_cast<uint64_t>(w.baseUpper) << 32 | low;
    w.last = static_cast<uint64_t>(w.limitUpper) << 32 | high;
  } else {
    // I/O and memory windows: base and limit already hold the whole address.
    w.first = w.base;
    w.last = w.limit;
  }
  return w;
}

bool barInWindowKind(const barData& bar, _BRIDGE_WINDOW_TYPE type, bool ignorePrefetchable) {
  const bool memory = bar.flags[1] != 0;
  const bool prefetchable = bar.flags[3] != 0;
  switch (type) {
    case IO_WINDOW: return !memory;
    case MEM_WINDOW: return memory && !(ignorePrefetchable && prefetchable);
    case PREFETCH_WINDOW: return memory && prefetchable;
  }
  return false;
}

class windowCheck {
 public:
  windowCheck(_BRIDGE_WINDOW_TYPE type, bool ignorePrefetchable)
      : type_(type), ignorePrefetchable_(ignorePrefetchable) {}

  // Checks the bus below bridge function fn of `bridgeDevice`, then the bridges on it.
  bool check(const device& bridgeDevice, uint8_t fn, int depth, _BRIDGE_WINDOW_ERROR_INFO& out) {
    const bus* below = bridgeDevice.getDownstreamBus(fn);
    if (!below || depth > device::kMaxHierarchyDepth) return false;
    const window w = windowOf(bridgeDevice, fn, type_);
    for (int slot = 0; slot < bus::kSlots; ++slot) {
      const device* dev = below->getDevice(slot);
      if (!dev) continue;
      for (uint8_t f = 0; f < device::kMaxFunctions; ++f) {
        if (!dev->isFunction(f)) continue;
        if (checkBars(bridgeDevice, fn, w, *dev, f, out)) return true;
        if (dev->isBridge(f) && checkChildWindow(bridgeDevice, fn, w, *dev, f, out)) return true;
      }
    }
    for (int slot = 0; slot < bus::kSlots; ++slot) {
      const device* dev = below->getDevice(slot);
      for (uint8_t f = 0; dev && f < device::kMaxFunctions; ++f)
        if (dev->isBridge(f) && check(*dev, f, depth + 1, out)) return true;
    }
    return false;
  }

 private:
  bool checkBars(const device& bridgeDevice, uint8_t fn, const window& w, const device& dev,
                 uint8_t f, _BRIDGE_WINDOW_ERROR_INFO& out) const {
    for (uint16_t offset = kFirstBarOffset; offset <= kLastBarOffset;) {
      const barData bar = dev.getBar(f, offset);
      const uint16_t at = offset;
      // The upper half of a 64-bit BAR is not a BAR of its own.
      offset = static_cast<uint16_t>(offset + (bar.flags[0] ? 8 : 4));
      if (bar.size <= 0 || !barInWindowKind(bar, type_, ignorePrefetchable_)) continue;
      const bool is64 = bar.flags[0] != 0;
      const int addressBits = is64 ? 64 : 32;
      const uint64_t start = (is64 ? static_cast<uint64_t>(bar.high) << 32 : 0) | bar.low;
      const uint64_t length = uint64_t{1} << (addressBits - bar.size);
      const uint64_t end = start + length - 1;
      const bool wrapped = end < start;  // runs past the top of the address space
      if (!wrapped && start >= w.first && end <= w.last) continue;
      fillBridge(bridgeDevice, fn, w, out);
      fillDevice(dev, f, out);
      out.barOutside = true;
      out.barOffset = at;
      out.barStart = bar.low;
      out.barStartUpper = is64 ? bar.high : 0;
      out.barEnd = static_cast<uint32_t>(end);
      out.endWrapped = is64 && (wrapped || (end >> 32) != bar.high);
      return true;
    }
    return false;
  }

  bool checkChildWindow(const device& bridgeDevice, uint8_t fn, const window& w,
                        const device& child, uint8_t f, _BRIDGE_WINDOW_ERROR_INFO& out) const {
    const window c = windowOf(child, f, type_);
    if (c.empty() || (c.first >= w.first && c.last <= w.last)) return false;
    fillBridge(bridgeDevice, fn, w, out);
    fillDevice(child, f, out);
    out.childWindowOutside = true;
    out.childBase = c.base;
    out.childBaseUpper = c.baseUpper;
    out.childLimit = c.limit;
    out.childLimitUpper = c.limitUpper;
    return true;
  }

  static void fillBridge(const device& bridgeDevice, uint8_t fn, const window& w,
                         _BRIDGE_WINDOW_ERROR_INFO& out) {
    out.errorFound = true;
    out.windowBase = w.base;
    out.windowLimit = w.limit;
    out.windowBaseUpper = w.baseUpper;
    out.windowLimitUpper = w.limitUpper;
    out.bridgeBus = bridgeDevice.GetBusNum();
    out.bridgeDevice = bridgeDevice.GetDevNum();
    out.bridgeFunction = fn;
    lattix_checks::copyScript(out.bridgeScript, sizeof out.bridgeScript, bridgeDevice);
  }

  static void fillDevice(const device& dev, uint8_t f, _BRIDGE_WINDOW_ERROR_INFO& out) {
    out.deviceBus = dev.GetBusNum();
    out.deviceDevice = dev.GetDevNum();
    out.deviceFunction = f;
    lattix_checks::copyScript(out.deviceScript, sizeof out.deviceScript, dev);
  }

  _BRIDGE_WINDOW_TYPE type_;
  bool ignorePrefetchable_;
};

}  // namespace

_BRIDGE_WINDOW_ERROR_INFO FindBridgeWindowError(packetHandler* handler, _BRIDGE_WINDOW_TYPE type,
                                                bool ignorePrefetchable) {
  _BRIDGE_WINDOW_ERROR_INFO result;
  const bus* root = lattix_checks::rootBusOf(handler);
  windowCheck check(type, ignorePrefetchable);
  for (int slot = 0; root && slot < bus::kSlots; ++slot) {
    const device* dev = root->getDevice(slot);
    for (uint8_t fn = 0; dev && fn < device::kMaxFunctions; ++fn)
      if (dev->isBridge(fn) && check.check(*dev, fn, 1, result)) return result;
  }
  return result;
}
