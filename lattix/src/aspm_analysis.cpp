// ASPM latency analysis: exit latencies summed down the hierarchy against acceptable ones.
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "lattix/enumeration_checks.h"
#include "lattix/pci_regs.h"
#include "lattix/topology_iterator.h"
#include "check_support.h"

namespace {

// One implemented function met by the walk, with its latencies as they are now.
struct functionLatency {
  device* dev;
  uint8_t fn;
  int depth;           // bridges above
  bool bridgeLeader;   // function 0 of a bridge: its exit latencies add to the devices below
  address where;
  uint32_t l0sExit, l1Exit, l0sAcceptable, l1Acceptable;
};

void readLatencies(functionLatency& f) {
  f.l0sExit = f.dev->getL0sExitLatency(f.fn);
  f.l1Exit = f.dev->getL1ExitLatency(f.fn);
  f.l0sAcceptable = f.dev->getL0sAcceptableLatency(f.fn);
  f.l1Acceptable = f.dev->getL1AcceptableLatency(f.fn);
}

std::vector<functionLatency> collectFunctions(const packetHandler* handler) {
  std::vector<functionLatency> functions;
  if (!handler || !handler->getRequestHandler()) return functions;
  for (topologyIterator it(handler->getRequestHandler()); it.getDevice(); it.next()) {
    device* dev = it.getDevice();
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev->isFunction(fn)) continue;
      functionLatency f{dev, fn, it.getDepth(), fn == 0 && dev->isBridge(0),
                        lattix_checks::reportedAddress(*dev, fn, 0, it.getAddress().type1),
                        0, 0, 0, 0};
      readLatencies(f);
      functions.push_back(f);
    }
  }
  return functions;
}

// Walks the functions in order, keeping the exit latencies of the bridges above each one,
// and calls report(function, isL0s, cumulated) for each violation; stops when it returns
// false.
template <typename reporter>
void analyse(const std::vector<functionLatency>& functions, reporter report) {
  uint32_t l0sAbove[topologyIterator::kMaxDepth + 1] = {};
  uint32_t l1Above[topologyIterator::kMaxDepth + 1] = {};
  for (const functionLatency& f : functions) {
    const uint32_t l0s = f.l0sExit + l0sAbove[f.depth];
    const uint32_t l1 = f.l1Exit + l1Above[f.depth];
    bool goOn = true;
    if (f.l0sAcceptable < l0s)
      goOn = report(f, true, l0s);
    else if (f.l1Acceptable < l1)
      goOn = report(f, false, l1);
    if (!goOn) return;
    if (f.bridgeLeader && f.depth < topologyIterator::kMaxDepth) {
      l0sAbove[f.depth + 1] = l0sAbove[f.depth] + f.l0sExit;
      l1Above[f.depth + 1] = l1Above[f.depth] + f.l1Exit;
    }
  }
}

bool hasViolation(const std::vector<functionLatency>& functions) {
  bool found = false;
  analyse(functions, [&](const functionLatency&, bool, uint32_t) {
    found = true;
    return false;
  });
  return found;
}

// Whether setting link control bit `aspmBit` of one function by an ordinary write leaves the
// hierarchy without violations; the old link control value is written back afterwards.
bool enableIsClean(std::vector<functionLatency>& functions, const functionLatency& candidate,
                   uint8_t aspmBit) {
  device& dev = *candidate.dev;
  const uint8_t cap = dev.findCapability(candidate.fn, LX_CAP_ID_EXP);
  if (!cap) return false;
  const uint16_t control = static_cast<uint16_t>(cap + LX_EXP_LNKCTL);
  const uint8_t old = dev.read1(candidate.fn, control);
  if (old & aspmBit) return false;
  // The same function may appear more than once when a device is listed twice.
  auto reread = [&] {
    for (functionLatency& f : functions)
      if (f.dev == candidate.dev && f.fn == candidate.fn) readLatencies(f);
  };
  dev.write1(candidate.fn, control, static_cast<uint8_t>(old | aspmBit));
  reread();
  const bool clean = !hasViolation(functions);
  dev.write1(candidate.fn, control, old);
  reread();
  return clean;
}

// Functions where the enable is clean, once per place the walk meets them. A function met
// in several places gets the same answer everywhere (the hierarchy is restored after each
// trial), so it is tried once.
addressList* findPossibleEnables(packetHandler* handler, uint8_t aspmBit) {
  addressList* head = nullptr;
  addressList** tail = &head;
  try {
    std::vector<functionLatency> functions = collectFunctions(handler);
    std::map<std::pair<const device*, uint8_t>, bool> tried;
    for (const functionLatency& candidate : functions) {
      const auto key = std::make_pair(static_cast<const device*>(candidate.dev), candidate.fn);
      auto verdict = tried.find(key);
      if (verdict == tried.end())
        verdict = tried.emplace(key, enableIsClean(functions, candidate, aspmBit)).first;
      if (!verdict->second) continue;
      *tail = new addressList{candidate.where, nullptr};
      tail = &(*tail)->next;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory: the functions found so far are returned.
  }
  return head;
}

}  // namespace

aspmErrorObj* findAspmError(packetHandler* handler) {
  aspmErrorObj* head = nullptr;
  aspmErrorObj** tail = &head;
  try {
    analyse(collectFunctions(handler), [&](const functionLatency& f, bool l0s, uint32_t total) {
      *tail = new aspmErrorObj{l0s ? 1 : 0, f.where, total,
                               l0s ? f.l0sAcceptable : f.l1Acceptable, nullptr};
      tail = &(*tail)->next;
      return true;
    });
  } catch (const std::bad_alloc&) {
    // Out of memory: the violations found so far are returned.
  }
  return head;
}

addressList* findPossibleL0sEnables(packetHandler* handler) {
  return findPossibleEnables(handler, LX_EXP_LNKCTL_ASPM_L0S);
}

addressList* findPossibleL1Enables(packetHandler* handler) {
  return findPossibleEnables(handler, LX_EXP_LNKCTL_ASPM_L1);
}

void releaseAspmErrorList(aspmErrorObj* list) {
  while (list) {
    aspmErrorObj* following = list->next;
    delete list;
    list = following;
  }
}

void releaseAddressList(addressList* list) {
  while (list) {
    addressList* following = list->next;
    delete list;
    list = following;
  }
}
