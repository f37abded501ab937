// Builders: functions, value groups and the MSI and extended capabilities.
#include <new>

#include "lattix/device.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"

namespace {

// Highest offsets at which each structure still fits in the 4 KB space.
constexpr uint16_t kMsiLastOffset = 244;
constexpr uint16_t kSerialNumberLastOffset = 4084;
constexpr uint16_t kPowerBudgetLastOffset = 4080;
constexpr uint16_t kAerLastOffset = 4040;
constexpr uint16_t kVirtualChannelSize = 28;
constexpr uint16_t kVirtualChannelLastOffset = 4096 - kVirtualChannelSize;
constexpr int kMaxCapabilityEntries = 48;
constexpr int kMaxExtendedEntries = 960;

// Multiple Message Capable encoding of a vector count (PCIe Base 4.0 sec 7.7.1.2).
uint32_t multipleMessageCapable(uint8_t vectors) {
  if (vectors <= 1) return 0;
  if (vectors == 2) return 1;
  if (vectors <= 4) return 2;
  if (vectors <= 8) return 3;
  if (vectors <= 16) return 4;
  return 5;
}

// Makes bytes first..first+count-1 of a new structure zero and read-only.
void clearRegion(configSpace* space, uint32_t first, uint32_t count) {
  for (uint32_t off = first; off < first + count && off < configSpace::kSize; ++off) {
    registerCell& cell = space->cells[off];
    cell.value = 0;
    cell.writeMask = 0;
    cell.writeOnceMask = 0;
    cell.rw1cMask = 0;
    cell.stickyMask = 0;
  }
}

// Makes the current values of a region its reset values.
void snapshotRegion(configSpace* space, uint32_t first, uint32_t count) {
  for (uint32_t off = first; off < first + count && off < configSpace::kSize; ++off) {
    registerCell& cell = space->cells[off];
    cell.hotResetValue = cell.value;
    cell.coldResetValue = cell.value;
  }
}

// Sets write, RW1C and sticky masks of one byte.
void setByteMasks(configSpace* space, uint32_t off, uint8_t write, uint8_t rw1c, uint8_t sticky) {
  registerCell& cell = space->cells[off];
  cell.writeMask = write;
  cell.rw1cMask = rw1c;
  cell.stickyMask = sticky;
}

}  // namespace

void device::addFunction(uint8_t fn, int kind) {
  if (fn >= kMaxFunctions) {
    setStatus(lattix_status::noFunction);
    return;
  }
  if (functions_[fn]) {
    setStatus(lattix_status::functionExists);
    return;
  }
  try {
    functions_[fn] = std::make_shared<configSpace>(kind);
    setStatus(lattix_status::ok);
  } catch (const std::bad_alloc&) {
    setStatus(lattix_status::outOfMemory);
  }
}

void device::addGroup(uint8_t fn, uint32_t startBit, uint32_t endBit, const uint32_t* values,
                      uint32_t count) {
  configSpace* space = getFunction(fn);
  if (!space) {
    setStatus(lattix_status::noFunction);
    return;
  }
  try {
    space->status = space->addGroup(startBit, endBit, values, count)
                        ? lattix_status::ok
                        : lattix_status::offsetOutOfRange;
  } catch (const std::bad_alloc&) {
    space->status = lattix_status::outOfMemory;
  }
  setStatus(space->status);
}

configSpace* device::capabilityTarget(uint8_t fn, uint32_t offset) {
  configSpace* space = getFunction(fn);
  if (!space) {
    setStatus(lattix_status::noFunction);
    return nullptr;
  }
  if (offset % 4 != 0) {
    setStatus(lattix_status::offsetNotAligned);
    return nullptr;
  }
  return space;
}

void device::addMsiCap(uint8_t fn, uint8_t offset, uint8_t vectorCount, bool is64Bit) {
  configSpace* space = capabilityTarget(fn, offset);
  if (!space) return;
  if (offset < 0x40 || offset + 4 * (is64Bit ? 1 : 0) > kMsiLastOffset) {
    space->status = lattix_status::offsetOutOfRange;
    setStatus(space->status);
    return;
  }
  // Link behind the last entry of the list (bounded, in case the list loops).
  uint32_t link = LX_CAPABILITY_LIST;
  uint8_t entry = static_cast<uint8_t>(space->rawValue(LX_CAPABILITY_LIST, 1));
  for (int seen = 0; entry != 0 && seen < kMaxCapabilityEntries; ++seen) {
    link = entry + 1u;
    entry = static_cast<uint8_t>(space->rawValue(link, 1));
  }
  space->statusWrite(link, 1, offset);

  const uint32_t length = is64Bit ? 16 : 12;
  clearRegion(space, offset, length);
  space->statusWrite(offset, 2, LX_CAP_ID_MSI);
  space->statusWrite(offset + LX_MSI_FLAGS, 2,
                     (is64Bit ? LX_MSI_FLAGS_64BIT : 0) | multipleMessageCapable(vectorCount) << 1);
  space->setWriteMask(offset + LX_MSI_FLAGS, 1, 0x71);  // enable, multiple message enable
  space->setWriteMask(offset + LX_MSI_ADDRESS_LO, 4, 0xFFFFFFFCu);
  const uint32_t dataOffset = offset + (is64Bit ? 12u : 8u);
  if (is64Bit) space->setWriteMask(offset + 8, 4, 0xFFFFFFFFu);
  space->setWriteMask(dataOffset, 2, 0xFFFF);
  // Only the new bytes and the link to them survive resets; values set earlier by
  // other calls keep their own reset values.
  snapshotRegion(space, link, 1);
  snapshotRegion(space, offset, length);
  space->status = lattix_status::ok;
  setStatus(space->status);
}

bool device::linkExtendedCapability(configSpace* space, uint16_t offset, uint16_t id) {
  uint32_t entry = LX_EXT_CAP_START;
  for (int seen = 0; seen < kMaxExtendedEntries; ++seen) {
    const uint32_t header = space->rawValue(entry, 4);
    const uint32_t next = (header >> LX_EXT_CAP_NEXT_SHIFT) & 0xFFC;
    if (next < LX_EXT_CAP_START || next == entry) break;
    entry = next;
  }
  const uint32_t last = space->rawValue(entry, 4);
  space->statusWrite(entry, 4, (last & 0x000FFFFFu) | static_cast<uint32_t>(offset) << 20);
  space->statusWrite(offset, 4, id | LX_EXT_CAP_VERSION_1 << 16);
  return true;
}

void device::addDeviceSerialNumCap(uint8_t fn, uint16_t offset, uint32_t low, uint32_t high) {
  configSpace* space = capabilityTarget(fn, offset);
  if (!space) return;
  if (offset < LX_EXT_CAP_START || offset > kSerialNumberLastOffset) {
    space->status = lattix_status::offsetOutOfRange;
  } else {
    clearRegion(space, offset, 12);
    linkExtendedCapability(space, offset, LX_EXT_CAP_ID_DSN);
    space->statusWrite(offset + 4, 4, low);
    space->statusWrite(offset + 8, 4, high);
    space->takeResetSnapshot();
    space->status = lattix_status::ok;
  }
  setStatus(space->status);
}

void device::addPowerBudgetCap(uint8_t fn, uint16_t offset, uint32_t data) {
  configSpace* space = capabilityTarget(fn, offset);
  if (!space) return;
  if (offset < LX_EXT_CAP_START || offset > kPowerBudgetLastOffset) {
    space->status = lattix_status::offsetOutOfRange;
  } else {
    clearRegion(space, offset, 16);
    linkExtendedCapability(space, offset, LX_EXT_CAP_ID_PWR);
    space->statusWrite(offset + 8, 4, data);
    space->setWriteMask(offset + 4, 1, 0xFF);          // data select
    space->setWriteMask(offset + 12, 1, 0x01);         // system allocated
    space->setWriteOnceMask(offset + 12, 1, 0x01);
    space->takeResetSnapshot();
    space->status = lattix_status::ok;
  }
  setStatus(space->status);
}

void device::addAdvErrorReportCap(uint8_t fn, uint16_t offset) {
  configSpace* space = capabilityTarget(fn, offset);
  if (!space) return;
  if (offset < LX_EXT_CAP_START || offset > kAerLastOffset) {
    space->status = lattix_status::offsetOutOfRange;
    setStatus(space->status);
    return;
  }
  clearRegion(space, offset, 56);
  linkExtendedCapability(space, offset, LX_EXT_CAP_ID_ERR);
  space->statusWrite(offset + 12, 4, 0x00062011u);  // uncorrectable error severity
  const uint8_t uncorrectable[3] = {0x11, 0xF0, 0x1F};
  for (int i = 0; i < 3; ++i) {
    const uint8_t bits = uncorrectable[i];
    setByteMasks(space, offset + 4 + i, bits, bits, bits);   // status: RW1CS
    setByteMasks(space, offset + 8 + i, bits, 0, bits);      // mask: RWS
    setByteMasks(space, offset + 12 + i, bits, 0, bits);     // severity: RWS
  }
  setByteMasks(space, offset + 16, 0xC1, 0xC1, 0xC1);  // correctable status: RW1CS
  setByteMasks(space, offset + 17, 0x11, 0x11, 0x11);
  setByteMasks(space, offset + 20, 0xC1, 0, 0xC1);     // correctable mask: RWS
  setByteMasks(space, offset + 21, 0x11, 0, 0x11);
  setByteMasks(space, offset + 24, 0x40, 0, 0x5F);     // capabilities and control
  setByteMasks(space, offset + 25, 0x01, 0, 0x01);
  for (uint32_t off = offset + 28; off <= offset + 43u; ++off)  // header log
    setByteMasks(space, off, 0xFF, 0, 0xFF);
  setByteMasks(space, offset + 44, 0x07, 0, 0);        // root error command
  setByteMasks(space, offset + 48, 0x7F, 0x7F, 0x7F);  // root error status
  for (uint32_t off = offset + 52; off <= offset + 55u; ++off)  // error source ID
    setByteMasks(space, off, 0, 0, 0xFF);
  space->takeResetSnapshot();
  space->status = lattix_status::ok;
  setStatus(space->status);
}

void device::addVirtualChannelCap(uint8_t fn, uint16_t offset) {
  configSpace* space = capabilityTarget(fn, offset);
  if (!space) return;
  if (offset < LX_EXT_CAP_START || offset > kVirtualChannelLastOffset) {
    space->status = lattix_status::offsetOutOfRange;
    setStatus(space->status);
    return;
  }
  // Port VC capability 1 and 2 zero: VC0 only, no arbitration tables
  // (PCIe Base 4.0 sec 7.9.1).
  clearRegion(space, offset, kVirtualChannelSize);
  linkExtendedCapability(space, offset, LX_EXT_CAP_ID_VC);
  space->setWriteMask(offset + 0x0C, 1, 0x0F);  // port VC control: load, arbitration select
  // VC0 resource control: TC/VC map (TC0 fixed), load and select port arbitration;
  // VC0 enabled with ID 0, read-only.
  space->statusWrite(offset + 0x14, 4, 0x800000FFu);
  space->setWriteMask(offset + 0x14, 1, 0xFE);
  space->setWriteMask(offset + 0x16, 1, 0x0F);
  space->takeResetSnapshot();
  space->status = lattix_status::ok;
  setStatus(space->status);
}
