// Building a hierarchy from script records: checks, devices, connection table, buses, modifiers.
#include "script_builder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"
#include "lattix/topology.h"
#include "lattix/topology_iterator.h"
#include "script_reader.h"

namespace lattix_script {
namespace {

// List indexes of the existing devices below a function, in the order given.
std::vector<int> resolveDownstream(const scriptModel& model, const functionRecord& fn) {
  std::vector<int> indexes;
  for (int number : fn.downstream) {
    const int index = model.findDevice(number);
    if (index >= 0) indexes.push_back(index);
  }
  return indexes;
}

bool checkShape(scriptModel& model, std::string& messages) {
  for (deviceRecord& record : model.devices) {
    if (!record.findFunction(0)) {
      appendMessage(messages, "Device %d has no Function 0\n", record.scriptNumber);
      return false;
    }
    for (const functionRecord& fn : record.functions) {
      const std::vector<int> below = resolveDownstream(model, fn);
      if (below.size() > static_cast<size_t>(kMaxDownstreamDevices)) {
        appendMessage(messages, "Unable to add downstream device %d to Device %d Function %d\n",
                      model.devices[below[kMaxDownstreamDevices]].scriptNumber,
                      record.scriptNumber, fn.function);
        return false;
      }
    }
  }
  return true;
}

// A device listed below itself, directly or through its descendants, would make every
// walk of the hierarchy endless.
bool checkCycles(const scriptModel& model, std::string& messages) {
  const size_t count = model.devices.size();
  std::vector<std::vector<int>> edges(count);
  for (size_t i = 0; i < count; ++i)
    for (const functionRecord& fn : model.devices[i].functions)
      for (int below : resolveDownstream(model, fn)) edges[i].push_back(below);
  enum : uint8_t { kUnvisited, kOnPath, kDone };
  std::vector<uint8_t> state(count, kUnvisited);
  struct frame {
    int node;
    size_t next;
  };
  std::vector<frame> stack;
  for (size_t start = 0; start < count; ++start) {
    if (state[start] != kUnvisited) continue;
    stack.push_back({static_cast<int>(start), 0});
    state[start] = kOnPath;
    while (!stack.empty()) {
      frame& top = stack.back();
      if (top.next == edges[top.node].size()) {
        state[top.node] = kDone;
        stack.pop_back();
        continue;
      }
      const int child = edges[top.node][top.next++];
      if (state[child] == kOnPath) {
        appendMessage(messages,
                      "Device %d is listed below itself or below one of its own descendants\n",
                      model.devices[child].scriptNumber);
        return false;
      }
      if (state[child] == kUnvisited) {
        state[child] = kOnPath;
        stack.push_back({child, 0});
      }
    }
  }
  return true;
}

// The walk over a hierarchy keeps topologyIterator::kMaxDepth levels; a deeper hierarchy is
// refused here rather than cut short during a walk. A device listed under several bridges
// is met once per path down to it, so a few lines listing each device twice would make the
// walk (and every check after it) run for ever; a hierarchy with more places than buses and
// slots can hold is refused too. Runs after checkCycles (no loops).
bool checkDepthAndPlaces(const scriptModel& model, std::string& messages) {
  const size_t count = model.devices.size();
  std::vector<std::vector<int>> edges(count);
  std::vector<int> listedCount(count, 0);
  for (size_t i = 0; i < count; ++i)
    for (const functionRecord& fn : model.devices[i].functions)
      for (int below : resolveDownstream(model, fn)) {
        edges[i].push_back(below);
        ++listedCount[below];
      }
  // Longest chain of bridges above each device and the number of places it is met in a
  // walk (paths from the root bus, capped just above the limit), in topological order.
  std::vector<int> depth(count, 0);
  std::vector<int64_t> places(count, 0);
  int64_t totalPlaces = 0;
  std::vector<int> ready;
  for (size_t i = 0; i < count; ++i)
    if (listedCount[i] == 0) {
      ready.push_back(static_cast<int>(i));
      places[i] = 1;
    }
  while (!ready.empty()) {
    const int node = ready.back();
    ready.pop_back();
    if (depth[node] >= topologyIterator::kMaxDepth) {
      appendMessage(messages,
                    "Device %d lies %d bridges deep; a hierarchy may have at most %d levels\n",
                    model.devices[node].scriptNumber, depth[node], topologyIterator::kMaxDepth);
      return false;
    }
    totalPlaces = std::min<int64_t>(totalPlaces + places[node], kMaxListedPlaces + 1);
    if (totalPlaces > kMaxListedPlaces) {
      appendMessage(messages,
                    "The hierarchy lists devices in more than %d places (up to Device %d); a "
                    "hierarchy has room for at most %d\n",
                    kMaxListedPlaces, model.devices[node].scriptNumber, kMaxListedPlaces);
      return false;
    }
    for (int child : edges[node]) {
      if (depth[child] < depth[node] + 1) depth[child] = depth[node] + 1;
      places[child] = std::min<int64_t>(places[child] + places[node], kMaxListedPlaces + 1);
      if (--listedCount[child] == 0) ready.push_back(child);
    }
  }
  return true;
}

bool markRoots(scriptModel& model, std::vector<int>& roots, std::string& messages) {
  std::vector<bool> listed(model.devices.size(), false);
  for (const deviceRecord& record : model.devices)
    for (const functionRecord& fn : record.functions)
      for (int below : resolveDownstream(model, fn)) listed[below] = true;
  for (size_t i = 0; i < model.devices.size(); ++i) {
    model.devices[i].listIndex = static_cast<int>(i);
    model.devices[i].root = !listed[i];
    if (!listed[i]) roots.push_back(static_cast<int>(i));
  }
  if (roots.size() > static_cast<size_t>(kMaxRootDevices)) {
    appendMessage(messages, "Too many root devices (%d); the root bus takes at most %d\n",
                  static_cast<int>(roots.size()), kMaxRootDevices);
    return false;
  }
  return true;
}

uint16_t barOffset(int kind) {
  switch (kind) {
    case kBar1: return 0x10;
    case kBar2: return 0x14;
    case kBar3: return 0x18;
    case kBar4: return 0x1C;
    case kBar5: return 0x20;
    default: return 0x24;
  }
}

void applyRegister(device* dev, uint8_t fn, const modifier& m) {
  configSpace* space = dev->getFunction(fn);
  if (!space) return;
  const int bytes = m.width / 8;
  if (m.isDefault) {
    const uint64_t shifted = static_cast<uint64_t>(m.registerValue) << std::countr_zero(m.mask);
    const uint32_t old = space->rawValue(m.value, bytes);
    space->statusWrite(m.value, bytes, (old & ~m.mask) | static_cast<uint32_t>(shifted));
    return;
  }
  if (m.value >= configSpace::kSize || bytes > configSpace::kSize - static_cast<int>(m.value)) return;
  for (int k = 0; k < bytes; ++k) {
    const uint8_t bits = static_cast<uint8_t>(m.mask >> (8 * k));
    registerCell& cell = space->cells[m.value + k];
    switch (m.attribute) {
      case kReadOnly: cell.writeMask = static_cast<uint8_t>(~bits); break;
      case kReadWrite: cell.writeMask = bits; break;
      case kReadWriteSticky: cell.writeMask = bits; cell.stickyMask = bits; break;
      case kHardwareInit: cell.writeOnceMask = bits; break;
      case kWriteOneToClear: cell.rw1cMask = bits; break;
      case kWriteOneToClearSticky: cell.rw1cMask = bits; cell.stickyMask = bits; break;
      default: break;
    }
  }
}

void applyModifier(device* dev, uint8_t fn, const modifier& m) {
  switch (m.kind) {
    case kBar1: case kBar2: case kBar3: case kBar4: case kBar5: case kBar6:
      dev->setBar(fn, barOffset(m.kind), m.bar);
      break;
    case kOptionRomBar: {
      barData rom = m.bar;
      rom.flags[0] = 0;
      rom.flags[1] = 1;
      dev->setERomBar(fn, rom);
      break;
    }
    case kL0sExitLatency: dev->setL0sExitLatency(fn, static_cast<uint8_t>(m.value)); break;
    case kL1ExitLatency: dev->setL1ExitLatency(fn, static_cast<uint16_t>(m.value)); break;
    case kL0sAcceptableLatency:
      dev->setL0sAcceptableLatency(fn, static_cast<uint16_t>(m.value));
      break;
    case kL1AcceptableLatency: dev->setL1AcceptableLatency(fn, static_cast<uint8_t>(m.value)); break;
    case kVendorId: dev->setVendorID(fn, static_cast<uint16_t>(m.value)); break;
    case kDeviceId: dev->setDeviceID(fn, static_cast<uint16_t>(m.value)); break;
    case kRevisionId: dev->setRevisionID(fn, static_cast<uint8_t>(m.value)); break;
    case kMsi32:
    case kMsi64:
      // The MSI capability lives in the first 256 bytes; a larger offset is out of range.
      if (m.value > 0xFF) {
        if (configSpace* space = dev->getFunction(fn)) space->status = lattix_status::offsetOutOfRange;
        dev->setStatus(dev->isFunction(fn) ? lattix_status::offsetOutOfRange : lattix_status::noFunction);
      } else {
        dev->addMsiCap(fn, static_cast<uint8_t>(m.value), 1, m.kind == kMsi64);
      }
      break;
    case kSerialNumber: dev->addDeviceSerialNumCap(fn, static_cast<uint16_t>(m.value), 0, 0); break;
    case kPowerBudget: dev->addPowerBudgetCap(fn, static_cast<uint16_t>(m.value), 0); break;
    case kAdvancedErrorReporting: dev->addAdvErrorReportCap(fn, static_cast<uint16_t>(m.value)); break;
    case kVirtualChannel: dev->addVirtualChannelCap(fn, static_cast<uint16_t>(m.value)); break;
    case kNoResponse: dev->SetNoResponse(fn, m.value != 0); break;
    case kAspmControl: dev->setASPMControl(fn, static_cast<uint8_t>(m.value)); break;
    case kRegister: applyRegister(dev, fn, m); break;
    case kMemoryEnable:
      dev->SetExpectedMemEnable(fn, m.value != 0);
      dev->SetIgnoreMemEnable(fn, m.value != 0);
      break;
    case kIoEnable:
      dev->SetExpectedIOEnable(fn, m.value != 0);
      dev->SetIgnoreIOEnable(fn, m.value != 0);
      break;
    default: break;
  }
}

// The statement word of a modifier kind, for messages.
const char* kindName(int kind) {
  switch (kind) {
    case kBar1: return "Bar1";
    case kBar2: return "Bar2";
    case kBar3: return "Bar3";
    case kBar4: return "Bar4";
    case kBar5: return "Bar5";
    case kBar6: return "Bar6";
    case kOptionRomBar: return "OptionRomBar";
    case kMsi32: return "MSI_32";
    case kMsi64: return "MSI_64";
    case kSerialNumber: return "addDeviceSerialNumCap";
    case kPowerBudget: return "POWER_BUDGETING";
    case kAdvancedErrorReporting: return "ADVANCED_ERROR_REPORTING";
    case kVirtualChannel: return "VIRTUAL_CHANNEL";
    default: return "statement";
  }
}

bool isCapabilityKind(int kind) {
  return kind == kMsi32 || kind == kMsi64 || kind == kSerialNumber || kind == kPowerBudget ||
         kind == kAdvancedErrorReporting || kind == kVirtualChannel;
}

// Applies one modifier and names it when its builder refused it (a capability or BAR that
// does not fit where the script puts it). The device keeps the status its builders leave,
// as requests report it; the hierarchy's status keeps the first refusal.
void applyAndCheck(topology& hierarchy, int scriptNumber, device* dev, uint8_t fn,
                   const modifier& m, std::string& warnings) {
  constexpr int kUntouched = 1;  // a value no builder sets
  const int before = dev->getStatus();
  dev->setStatus(kUntouched);
  applyModifier(dev, fn, m);
  const int after = dev->getStatus();
  if (after == kUntouched) {
    dev->setStatus(before);
    return;
  }
  if (after == lattix_status::ok) return;
  if (isCapabilityKind(m.kind))
    appendMessage(warnings, "Warning: Device %d Function %d: %s at offset 0x%X could not be placed (status %d)\n",
                  scriptNumber, fn, kindName(m.kind), m.value, after);
  else
    appendMessage(warnings, "Warning: Device %d Function %d: %s could not be placed (status %d)\n",
                  scriptNumber, fn, kindName(m.kind), after);
  if (hierarchy.getStatus() == lattix_status::ok) hierarchy.setStatus(after);
}

// The PCI Express port type each function's DeviceType names (PCIe Capabilities register
// bits 7:4), and the multi-function bit of the header type only where the device has
// several functions (PCIe Base 4.0 sec 7.5.1.1.9 and 7.5.3.2).
void markPortTypes(device* dev, const deviceRecord& record) {
  for (const functionRecord& fn : record.functions) {
    configSpace* space = dev->getFunction(fn.function);
    if (space == nullptr) continue;
    int portType = 0;  // endpoint
    switch (fn.type) {
      case kLegacyEndPoint: portType = 1; break;
      case kUpstreamSwitchPort:
      case kSwitch:
      case kSwitchSlots:
      case kSwitchHotPlugSlots: portType = 5; break;
      case kDownstreamSwitchPort:
      case kDownstreamSwitchPortSlot:
      case kDownstreamSwitchPortHotPlugSlot: portType = 6; break;
      default: break;
    }
    const uint16_t pcie = dev->findCapability(fn.function, 0x10);
    if (pcie != 0) {
      const uint32_t caps = space->rawValue(pcie + 2u, 1);
      space->statusWrite(pcie + 2u, 1, (caps & 0x0F) | static_cast<uint32_t>(portType << 4));
    }
    const uint32_t header = space->rawValue(LX_HEADER_TYPE, 1);
    space->statusWrite(LX_HEADER_TYPE, 1, record.functions.size() > 1 ? header | 0x80 : header & 0x7F);
    space->takeResetSnapshot();
  }
}

// Entries of a connection-table row up to the first -1.
bus* busFromRow(const int* row, int columns, device* const* devices) {
  device* slots[bus::kSlots] = {};
  int used = 0;
  for (int c = 0; c < columns && row[c] >= 0 && used < bus::kSlots; ++c) slots[used++] = devices[row[c]];
  return new (std::nothrow) bus(slots, used);
}

}  // namespace

bool buildScript(scriptModel& model, topology*& result, packetHandler*& handler,
                 std::string& messages, std::string& warnings) {
  result = nullptr;
  handler = nullptr;
  if (model.devices.empty()) {
    appendMessage(messages, "The script describes no device\n");
    return false;
  }
  std::vector<int> roots;
  if (!checkShape(model, messages) || !checkCycles(model, messages) ||
      !checkDepthAndPlaces(model, messages) ||
      !markRoots(model, roots, messages))
    return false;

  const int count = static_cast<int>(model.devices.size());
  device** devices = new device*[count > 0 ? count : 1]();
  for (int i = 0; i < count; ++i) {
    const deviceRecord& record = model.devices[i];
    // Function 0 decides the class; checkShape made sure every record has one.
    device* dev = nullptr;
    if (model.devices[i].findFunction(0)->bridge)
      dev = new bridge();
    else
      dev = new endPoint();
    char name[64];
    std::snprintf(name, sizeof name, "Script Device %d", record.scriptNumber);
    dev->SetDevScriptString(name);
    devices[i] = dev;
  }

  int** table = topology::makeConnectionTable(count);
  for (int i = 0; i < count; ++i) {
    for (const functionRecord& fn : model.devices[i].functions) {
      const std::vector<int> below = resolveDownstream(model, fn);
      int* row = table[i * 8 + fn.function];
      for (size_t k = 0; k < below.size(); ++k) row[k] = below[k];
    }
  }
  for (size_t k = 0; k < roots.size(); ++k) table[count * 8][k] = roots[k];

  for (int i = 0; i < count; ++i)
    for (const functionRecord& fn : model.devices[i].functions)
      if (fn.function != 0) devices[i]->addFunction(fn.function, fn.bridge ? 2 : 1);

  auto hierarchy = std::make_unique<topology>(devices, table, count);
  for (int i = 0; i < count; ++i) {
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!devices[i]->isFunction(fn) || !devices[i]->isBridge(fn)) continue;
      bus* below = busFromRow(table[i * 8 + fn], count + 1, devices);
      if (!below) {
        hierarchy->setStatus(lattix_status::outOfMemory);
        continue;
      }
      hierarchy->adoptBus(below);
      devices[i]->setDownstreamBus(fn, below);
    }
  }
  bus* root = busFromRow(table[count * 8], count + 1, devices);
  if (!root) {
    appendMessage(messages, "Unable to find/create Modifier Data Structure!\n");
    return false;
  }
  hierarchy->adoptBus(root);
  hierarchy->setRootBus(root);
  auto requests = std::make_unique<packetHandler>(root);

  for (int i = 0; i < count; ++i) markPortTypes(devices[i], model.devices[i]);
  for (int i = 0; i < count; ++i)
    for (const functionRecord& fn : model.devices[i].functions)
      for (const modifier& m : fn.modifiers)
        applyAndCheck(*hierarchy, model.devices[i].scriptNumber, devices[i], fn.function, m, warnings);

  result = hierarchy.release();
  handler = requests.release();
  return true;
}

}  // namespace lattix_script
