// Device base class: functions, register access, header flags, identity and capability lookup.
#include "lattix/device.h"

#include <cstring>

#include "lattix/bus.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"

namespace {
// A capability list cannot hold more entries than fit in the 192 bytes above 0x40;
// the bound stops a list whose pointers loop.
constexpr int kMaxCapabilityEntries = 48;
// The same for the extended chain in the 3840 bytes above 0x100.
constexpr int kMaxExtendedEntries = 960;
}  // namespace

device::device() = default;

device::device(configSpace* const* spaces, int count, double value) : constructorValue_(value) {
  for (int fn = 0; fn < count && fn < kMaxFunctions; ++fn)
    if (spaces && spaces[fn]) functions_[fn].reset(spaces[fn]);
}

device::device(const device& other) = default;
device& device::operator=(const device& other) = default;
device::~device() = default;

bool device::isBridge(uint8_t fn) const {
  const configSpace* space = getFunction(fn);
  return space && (space->rawValue(LX_HEADER_TYPE, 1) & LX_HEADER_TYPE_MASK) != 0;
}

uint8_t device::read1(uint8_t fn, uint16_t offset) const {
  const configSpace* space = getFunction(fn);
  return space ? static_cast<uint8_t>(space->read(offset, 1)) : 0;
}
uint16_t device::read2(uint8_t fn, uint16_t offset) const {
  const configSpace* space = getFunction(fn);
  return space ? static_cast<uint16_t>(space->read(offset, 2)) : 0;
}
uint32_t device::read4(uint8_t fn, uint16_t offset) const {
  const configSpace* space = getFunction(fn);
  return space ? space->read(offset, 4) : 0;
}

void device::write1(uint8_t fn, uint16_t offset, uint8_t value) {
  if (configSpace* space = getFunction(fn)) space->write(offset, 1, value);
}
void device::write2(uint8_t fn, uint16_t offset, uint16_t value) {
  if (configSpace* space = getFunction(fn)) space->write(offset, 2, value);
}
void device::write4(uint8_t fn, uint16_t offset, uint32_t value) {
  if (configSpace* space = getFunction(fn)) space->write(offset, 4, value);
}
void device::statusWrite1(uint8_t fn, uint16_t offset, uint8_t value) {
  if (configSpace* space = getFunction(fn)) space->statusWrite(offset, 1, value);
}
void device::statusWrite2(uint8_t fn, uint16_t offset, uint16_t value) {
  if (configSpace* space = getFunction(fn)) space->statusWrite(offset, 2, value);
}
void device::statusWrite4(uint8_t fn, uint16_t offset, uint32_t value) {
  if (configSpace* space = getFunction(fn)) space->statusWrite(offset, 4, value);
}

// The base class has no reset behaviour; endPoint and bridge provide it.
void device::hotReset() {}
void device::coldReset() {}

void device::resetFunctions(bool hot) {
  for (auto& space : functions_) {
    if (!space) continue;
    if (hot)
      space->hotReset();
    else
      space->coldReset();
  }
}

void device::resetTree(bool hot, int /*depth*/) {
  if (hot)
    hotReset();
  else
    coldReset();
}

void device::resetBelow(bool hot, int depth) {
  if (depth >= kMaxHierarchyDepth) return;
  for (int fn = 0; fn < kMaxFunctions; ++fn) {
    if (!downstream_[fn] || !isBridge(static_cast<uint8_t>(fn))) continue;
    for (int slot = 0; slot < bus::kSlots; ++slot)
      if (device* below = downstream_[fn]->getDevice(slot)) below->resetTree(hot, depth + 1);
  }
}

uint8_t device::getPrimaryBus(uint8_t fn) const { return read1(fn, LX_PRIMARY_BUS); }
uint8_t device::getSecondaryBus(uint8_t fn) const { return read1(fn, LX_SECONDARY_BUS); }
uint8_t device::getSubordinateBus(uint8_t fn) const { return read1(fn, LX_SUBORDINATE_BUS); }
uint8_t device::getIOBase(uint8_t fn) const { return read1(fn, LX_IO_BASE); }
uint8_t device::getIOLimit(uint8_t fn) const { return read1(fn, LX_IO_LIMIT); }
uint16_t device::getMemBase(uint8_t fn) const { return read2(fn, LX_MEMORY_BASE); }
uint16_t device::getMemLimit(uint8_t fn) const { return read2(fn, LX_MEMORY_LIMIT); }
uint16_t device::getPrefetchMemBase(uint8_t fn) const { return read2(fn, LX_PREF_MEMORY_BASE); }
uint16_t device::getPrefetchMemLimit(uint8_t fn) const {
  return read2(fn, LX_PREF_MEMORY_LIMIT);
}
uint32_t device::getPrefetchMemBaseUpper32(uint8_t fn) const {
  return read4(fn, LX_PREF_BASE_UPPER32);
}
uint32_t device::getPrefetchMemLimitUpper32(uint8_t fn) const {
  return read4(fn, LX_PREF_LIMIT_UPPER32);
}
uint16_t device::getIOBaseUpper16(uint8_t fn) const { return read2(fn, LX_IO_BASE_UPPER16); }
uint16_t device::getIOLimitUpper16(uint8_t fn) const { return read2(fn, LX_IO_LIMIT_UPPER16); }

bool device::GetMemEnable(uint8_t fn) const {
  return (read1(fn, LX_COMMAND) & LX_COMMAND_MEMORY) != 0;
}
bool device::GetIOEnable(uint8_t fn) const {
  return (read1(fn, LX_COMMAND) & LX_COMMAND_IO) != 0;
}

#define LX_FLAG_ACCESSORS(Name, field)                                  \
  void device::Set##Name(uint8_t fn, bool value) {                      \
    if (configSpace* space = getFunction(fn)) space->field = value;     \
  }                                                                     \
  bool device::Get##Name(uint8_t fn) const {                            \
    const configSpace* space = getFunction(fn);                         \
    return space ? space->field : false;                                \
  }
LX_FLAG_ACCESSORS(ExpectedMemEnable, expectedMemEnable)
LX_FLAG_ACCESSORS(ExpectedIOEnable, expectedIOEnable)
LX_FLAG_ACCESSORS(IgnoreMemEnable, ignoreMemEnable)
LX_FLAG_ACCESSORS(IgnoreIOEnable, ignoreIOEnable)
LX_FLAG_ACCESSORS(NoResponse, noResponse)
#undef LX_FLAG_ACCESSORS

void device::setRTWD(bool value) { respondToWrongDevice_ = value; }
bool device::respondToWrongDevice() const { return respondToWrongDevice_; }
int device::getStatus() const { return status_; }
void device::setStatus(int value) { status_ = value; }
void device::SetBusNum(uint32_t value) { busNumber_ = value; }
uint32_t device::GetBusNum() const { return busNumber_; }
void device::SetDevNum(uint8_t value) { deviceNumber_ = value; }
uint8_t device::GetDevNum() const { return deviceNumber_; }

void device::SetDevScriptString(const char* text) {
  if (!text) text = "";
  std::strncpy(scriptString_, text, kScriptStringSize - 1);
  scriptString_[kScriptStringSize - 1] = '\0';
}
const char* device::GetDevScriptString() const { return scriptString_; }

void device::setDownstreamBus(uint8_t fn, bus* downstream) {
  if (fn < kMaxFunctions) downstream_[fn] = downstream;
}
bus* device::getDownstreamBus(uint8_t fn) const {
  return fn < kMaxFunctions ? downstream_[fn] : nullptr;
}

void device::setVendorID(uint8_t fn, uint16_t value) { statusWrite2(fn, LX_VENDOR_ID, value); }
void device::setDeviceID(uint8_t fn, uint16_t value) { statusWrite2(fn, LX_DEVICE_ID, value); }
void device::setRevisionID(uint8_t fn, uint8_t value) {
  statusWrite1(fn, LX_REVISION_ID, value);
}

uint8_t device::findCapability(uint8_t fn, uint8_t id) const {
  const configSpace* space = getFunction(fn);
  if (!space) return 0;
  uint8_t entry = static_cast<uint8_t>(space->rawValue(LX_CAPABILITY_LIST, 1));
  for (int seen = 0; entry != 0 && seen < kMaxCapabilityEntries; ++seen) {
    if (space->rawValue(entry, 1) == id) return entry;
    entry = static_cast<uint8_t>(space->rawValue(entry + 1u, 1));
  }
  return 0;
}

uint16_t device::findExtendedCapability(uint8_t fn, uint16_t id) const {
  const configSpace* space = getFunction(fn);
  if (!space) return 0;
  uint32_t entry = LX_EXT_CAP_START;
  for (int seen = 0; entry >= LX_EXT_CAP_START && seen < kMaxExtendedEntries; ++seen) {
    const uint32_t header = space->rawValue(entry, 4);
    if (header == 0) return 0;
    if ((header & 0xFFFF) == id) return static_cast<uint16_t>(entry);
    entry = (header >> LX_EXT_CAP_NEXT_SHIFT) & 0xFFC;
  }
  return 0;
}

size_t device::memoryUsage() const {
  size_t bytes = 0;
  for (const auto& space : functions_)
    if (space) bytes += space->memoryUsage();
  return bytes;
}
