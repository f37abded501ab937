// BAR overlap: comparison of two naturally aligned BARs and the walk over every BAR pair.
#include <algorithm>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lattix/enumeration_checks.h"
#include "lattix/pci_regs.h"
#include "lattix/topology_iterator.h"
#include "check_support.h"

namespace {

constexpr uint16_t kFirstBarOffset = LX_BAR0;
constexpr uint16_t kLastBarOffset = LX_ROM_ADDRESS1;

// Address bits above `shift` of a 32-bit value (shift 0..31).
uint32_t above(uint32_t value, int shift) { return value >> shift; }

// One BAR met by the walk, with what an overlap record needs about it.
struct barEntry {
  barData bar;
  const device* owner;
  address where;
  bool atSeveralPlaces = false;  // the hierarchy lists its device in more than one place
};

// Every BAR in walk order: devices as the iterator gives them, functions 0..7, offsets
// 0x10..0x38 (stepping over the upper half of 64-bit BARs). Offsets without a BAR never
// overlap and are left out. A device listed in several places is one set of registers: its
// BARs are taken once, where the walk first meets it, and marked as met again.
std::vector<barEntry> collectBars(const packetHandler* handler) {
  std::vector<barEntry> bars;
  if (!handler || !handler->getRequestHandler()) return bars;
  std::unordered_map<const device*, std::pair<size_t, size_t>> entriesOf;  // first, end
  for (topologyIterator it(handler->getRequestHandler()); it.getDevice(); it.next()) {
    const device& dev = *it.getDevice();
    const auto met = entriesOf.find(&dev);
    if (met != entriesOf.end()) {
      for (size_t i = met->second.first; i < met->second.second; ++i) bars[i].atSeveralPlaces = true;
      continue;
    }
    const size_t first = bars.size();
    const uint8_t type1 = it.getAddress().type1;
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev.isFunction(fn)) continue;
      for (uint16_t offset = kFirstBarOffset; offset <= kLastBarOffset;) {
        const barData bar = dev.getBar(fn, offset);
        if (bar.size > 0)
          bars.push_back({bar, &dev, lattix_checks::reportedAddress(dev, fn, offset, type1)});
        offset = static_cast<uint16_t>(offset + (bar.flags[0] ? 8 : 4));
      }
    }
    entriesOf.emplace(&dev, std::make_pair(first, bars.size()));
  }
  return bars;
}

overlapData describe(const overlap& result, const barEntry& a, const barEntry& b) {
  overlapData data;
  data.result = result;
  data.barA = a.where;
  data.barB = b.where;
  data.isMemory = a.bar.flags[1];
  lattix_checks::copyScript(data.scriptA, sizeof data.scriptA, *a.owner);
  lattix_checks::copyScript(data.scriptB, sizeof data.scriptB, *b.owner);
  data.aIs64 = a.bar.flags[0] != 0;
  data.bIs64 = b.bar.flags[0] != 0;
  data.aLow = a.bar.low;
  data.aHigh = a.bar.high;
  data.bLow = b.bar.low;
  data.bHigh = b.bar.high;
  return data;
}

}  // namespace

overlap detectBarOverlap(barData a, barData b) {
  overlap none;
  if (a.flags[2] || b.flags[2] || a.size <= 0 || b.size <= 0 || a.flags[1] != b.flags[1])
    return none;
  const bool wide = a.flags[0] || b.flags[0];
  if (wide) {
    // A 32-bit BAR in 64-bit form: the same region with 32 more address bits above it.
    if (!a.flags[0]) {
      a.size += 32;
      a.high = 0;
    }
    if (!b.flags[0]) {
      b.size += 32;
      b.high = 0;
    }
  }
  const int width = wide ? 64 : 32;
  // The larger region's alignment: both BARs agree above it exactly when the smaller
  // region lies inside the larger one.
  const int alignment = width - std::min(a.size, b.size);
  bool overlaps = false;
  if (alignment >= 32) {
    overlaps = above(a.high, alignment - 32) == above(b.high, alignment - 32);
  } else {
    overlaps = (!wide || a.high == b.high) && above(a.low, alignment) == above(b.low, alignment);
  }
  if (!overlaps) return none;
  const barData& smaller = a.size >= b.size ? a : b;
  overlap result;
  result.size = smaller.size;
  result.is64 = wide ? 1 : 0;
  result.low = smaller.low;
  result.high = smaller.high;
  return result;
}

overlapDataObj::overlapDataObj(const overlapData& data) : data_(data) {}

overlapDataObj::~overlapDataObj() {
  // Unlinked one by one, so that a long list does not recurse once per node.
  overlapDataObj* node = next_;
  while (node) {
    overlapDataObj* following = node->next_;
    node->next_ = nullptr;
    delete node;
    node = following;
  }
}

void overlapDataObj::addData(const overlapData& data) {
  overlapDataObj* last = tail_ ? tail_ : this;
  while (last->next_) last = last->next_;
  last->next_ = new overlapDataObj(data);
  tail_ = last->next_;
}

overlapDataObj* findBarOverlap(packetHandler* handler, bool stopAtFirst) {
  overlapDataObj* list = nullptr;
  try {
    const std::vector<barEntry> bars = collectBars(handler);
    // Each pair of BARs is one record, however many places list their devices. A BAR of a
    // device listed in several places meets itself there: one record says so.
    for (size_t i = 0; i < bars.size(); ++i) {
      for (size_t j = bars[i].atSeveralPlaces ? i : i + 1; j < bars.size(); ++j) {
        const overlap result = detectBarOverlap(bars[i].bar, bars[j].bar);
        if (result.size == 0) continue;
        const overlapData data = describe(result, bars[i], bars[j]);
        if (list)
          list->addData(data);
        else
          list = new overlapDataObj(data);
        if (stopAtFirst) return list;
      }
    }
  } catch (const std::bad_alloc&) {
    // Out of memory: the overlaps found so far are returned.
  }
  return list;
}

void releaseOverlapList(overlapDataObj* list) { delete list; }
