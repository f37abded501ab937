// BAR programming and decoding, expansion ROM BARs and bridge windows.
#include <bit>

#include "lattix/device.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"

namespace {

// All ones above the lowest `bits` address bits of a 32-bit register.
uint32_t addressMask(int32_t bits) {
  if (bits <= 0) return 0;
  if (bits >= 32) return 0xFFFFFFFFu;
  return 0xFFFFFFFFu << (32 - bits);
}

// Number of bits from the lowest writable bit of the mask up to bit 31.
int32_t addressBits(uint32_t mask) {
  return mask == 0 ? 0 : 32 - std::countr_zero(mask);
}

bool isBarOffset(uint16_t offset) {
  return offset >= LX_BAR0 && offset <= LX_BAR5 && (offset & 3) == 0;
}

}  // namespace

void device::setBar(uint8_t fn, uint16_t offset, barData data) {
  configSpace* space = getFunction(fn);
  if (!space) {
    setStatus(lattix_status::noFunction);
    return;
  }
  const bool is64 = data.flags[0] != 0;
  // A bridge has two BARs; a 64-bit BAR needs its upper register inside the BAR block.
  const uint16_t lastOffset = isBridge(fn) ? LX_BAR1 : LX_BAR5;
  if (!isBarOffset(offset) || offset > lastOffset || (is64 && offset + 4 > lastOffset)) {
    setStatus(lattix_status::offsetOutOfRange);
    return;
  }
  if (data.flags[2]) space->ignoreOverlap[(offset - LX_BAR0) / 4] = true;
  uint32_t low = data.low;
  if (!data.flags[1]) low |= LX_BAR_SPACE_IO;
  if (is64) {
    const int32_t n = data.size;
    uint32_t lowerMask = 0;
    uint32_t upperMask = 0;
    if (n > 32) {
      lowerMask = addressMask(n - 32);
      upperMask = 0xFFFFFFFFu;
    } else {
      // n == 32 is a 4 GB BAR: the lower register holds no address bits.
      upperMask = addressMask(n);
    }
    space->setWriteMask(offset, 4, lowerMask);
    space->setWriteMask(offset + 4, 4, upperMask);
    space->statusWrite(offset + 4, 4, data.high);
    low |= LX_BAR_MEM_TYPE_64;
  } else {
    space->setWriteMask(offset, 4, addressMask(data.size));
  }
  space->statusWrite(offset, 4, low);
}

void device::setERomBar(uint8_t fn, barData data) {
  configSpace* space = getFunction(fn);
  if (!space || data.flags[0] != 0 || data.flags[1] == 0 || data.size > 21) return;
  const uint16_t offset = isBridge(fn) ? LX_ROM_ADDRESS1 : LX_ROM_ADDRESS;
  // The enable bit stays read-only: masks of 21 address bits or fewer never reach bit 0.
  space->setWriteMask(offset, 4, addressMask(data.size));
  space->statusWrite(offset, 4, data.low | LX_ROM_ENABLE);
}

barData device::getBar(uint8_t fn, uint16_t offset) const {
  barData result;
  result.size = -1;
  const configSpace* space = getFunction(fn);
  if (!space) return result;
  const bool bridgeFn = isBridge(fn);
  const uint16_t romOffset = bridgeFn ? LX_ROM_ADDRESS1 : LX_ROM_ADDRESS;
  const bool isRom = offset == romOffset;
  const uint16_t lastOffset = bridgeFn ? LX_BAR1 : LX_BAR5;
  if (!isRom && (!isBarOffset(offset) || offset > lastOffset)) return result;

  const uint32_t value = space->read(offset, 4);
  const uint32_t mask = space->writeMask(offset, 4);
  if (isRom || (value & LX_BAR_SPACE_IO)) {
    if (isRom && !(value & LX_ROM_ENABLE)) return result;
    result.size = addressBits(mask);
    result.low = value & ~3u;
    result.flags[1] = isRom ? 1 : 0;
  } else if (value & LX_BAR_MEM_TYPE_64) {
    const uint32_t upperMask = space->writeMask(offset + 4, 4);
    if (upperMask == 0) return result;
    if (upperMask == 0xFFFFFFFFu) {
      result.size = 32 + addressBits(mask);
      result.low = value & ~0xFu;
    } else {
      result.size = addressBits(upperMask);
      result.low = 0;
    }
    result.flags[3] = (value & LX_BAR_MEM_PREFETCH) ? 1 : 0;
    result.high = space->read(offset + 4, 4);
    result.flags[0] = 1;
    result.flags[1] = 1;
  } else {
    result.size = addressBits(mask);
    result.low = value & ~0xFu;
    result.flags[3] = (value & LX_BAR_MEM_PREFETCH) ? 1 : 0;
    result.flags[1] = 1;
  }
  if (isBarOffset(offset)) result.flags[2] = space->ignoreOverlap[(offset - LX_BAR0) / 4];
  return result;
}

bool device::GetBridgeWindowInfo(uint8_t fn, _BRIDGE_WINDOW_TYPE type, uint32_t* base,
                                 uint32_t* limit, uint32_t* baseUpper,
                                 uint32_t* limitUpper) const {
  if (!isBridge(fn) || !base || !limit || !baseUpper || !limitUpper) return true;
  switch (type) {
    case IO_WINDOW: {
      const uint8_t ioBase = getIOBase(fn);
      *base = static_cast<uint32_t>(ioBase & 0xF0) << 8;
      *limit = (static_cast<uint32_t>(getIOLimit(fn)) << 8) | 0xFFF;
      if ((ioBase & 0x0F) == LX_IO_RANGE_32BIT) {
        *baseUpper = static_cast<uint32_t>(getIOBaseUpper16(fn)) << 16;
        *limitUpper = static_cast<uint32_t>(getIOLimitUpper16(fn)) << 16;
        *base |= *baseUpper;
        *limit |= *limitUpper;
      } else {
        *baseUpper = 0;
        *limitUpper = 0;
      }
      break;
    }
    case MEM_WINDOW:
      *base = (static_cast<uint32_t>(getMemBase(fn)) << 16) & 0xFFF00000u;
      *limit = (static_cast<uint32_t>(getMemLimit(fn)) << 16) | 0xFFFFFu;
      *baseUpper = 0;
      *limitUpper = 0;
      break;
    case PREFETCH_WINDOW:
      *base = getPrefetchMemBase(fn);
      *limit = getPrefetchMemLimit(fn);
      *baseUpper = getPrefetchMemBaseUpper32(fn);
      *limitUpper = getPrefetchMemLimitUpper32(fn);
      break;
  }
  return true;
}
