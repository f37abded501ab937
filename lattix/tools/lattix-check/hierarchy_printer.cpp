// Formats each function of a hierarchy: tree position, identity, type, BARs, capabilities.
#include "hierarchy_printer.h"

#include <cstdio>
#include <set>
#include <string>

#include "lattix/lattix.h"
#include "lattix/pci_regs.h"

namespace {

std::string format(const char* fmt, unsigned a, unsigned b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, fmt, a, b);
  return text;
}

// Region size of a BAR with `bits` address bits in a `width`-bit register.
std::string sizeText(int bits, int width) {
  const int log2 = width - bits;
  static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  return format("%u ", 1u << (log2 % 10)) + kUnits[log2 / 10];
}

std::string typeText(const device& dev, uint8_t fn) {
  std::string text = dev.isBridge(fn) ? "bridge" : "endpoint";
  const uint8_t cap = dev.findCapability(fn, LX_CAP_ID_EXP);
  if (!cap) return text;
  static const char* const kPortTypes[16] = {
      "endpoint", "legacy endpoint", "?2", "?3", "root port", "upstream port",
      "downstream port", "PCIe-to-PCI bridge", "PCI-to-PCIe bridge", "RC integrated endpoint",
      "RC event collector", "?11", "?12", "?13", "?14", "?15"};
  return text + " (" + kPortTypes[(dev.read1(fn, cap + 2) >> 4) & 0xF] + ")";
}

std::string barsText(const device& dev, uint8_t fn) {
  std::string text;
  const uint16_t romOffset = dev.isBridge(fn) ? LX_ROM_ADDRESS1 : LX_ROM_ADDRESS;
  for (uint16_t off = LX_BAR0; off <= LX_BAR5; off += 4) {
    const barData bar = dev.getBar(fn, off);
    if (bar.size <= 0) continue;
    const bool is64 = bar.flags[0] != 0;
    std::string kind = !bar.flags[1] ? "io" : is64 ? "mem64" : "mem32";
    if (bar.flags[3]) kind += " pf";
    if (bar.flags[2]) kind += " ignore-overlap";
    text += format(" BAR%02X=", off) + sizeText(bar.size, is64 ? 64 : 32) + " " + kind;
    if (is64) off += 4;
  }
  const barData rom = dev.getBar(fn, romOffset);
  if (rom.size > 0) text += " ROM=" + sizeText(rom.size, 32);
  return text.empty() ? "" : " " + text;
}

std::string capsText(const device& dev, uint8_t fn) {
  const configSpace* space = dev.getFunction(fn);
  std::string text;
  // A list that comes back to an entry already shown ends there, marked, instead of
  // repeating the loop up to the bound.
  std::set<uint32_t> visited;
  uint8_t entry = static_cast<uint8_t>(space->rawValue(LX_CAPABILITY_LIST, 1));
  for (int seen = 0; entry && seen < 48; ++seen) {
    if (!visited.insert(entry).second) {
      text += " (loops)";
      break;
    }
    const uint8_t id = static_cast<uint8_t>(space->rawValue(entry, 1));
    const char* name = id == LX_CAP_ID_EXP   ? "PCIe"
                       : id == LX_CAP_ID_PM  ? "PM"
                       : id == LX_CAP_ID_MSI ? "MSI"
                                             : nullptr;
    text += name ? std::string(" ") + name + format("@%02X", entry)
                 : format(" cap%02X@%02X", id, entry);
    entry = static_cast<uint8_t>(space->rawValue(entry + 1u, 1));
  }
  uint32_t ext = LX_EXT_CAP_START;
  for (int seen = 0; ext >= LX_EXT_CAP_START && seen < 960; ++seen) {
    if (!visited.insert(ext).second) {
      text += " (loops)";
      break;
    }
    const uint32_t header = space->rawValue(ext, 4);
    if ((header & 0xFFFF) != 0) {
      static const char* const kExtNames[] = {"?", "AER", "VC", "DSN", "PB"};
      const uint32_t id = header & 0xFFFF;
      text += id < 5 ? std::string(" ") + kExtNames[id] + format("@%03X", ext)
                     : format(" ext%04X@%03X", id, ext);
    }
    ext = (header >> LX_EXT_CAP_NEXT_SHIFT) & 0xFFC;
  }
  return text.empty() ? "" : "  caps" + text;
}

void describeBus(const bus& b, const std::string& prefix, int depth, std::string& out) {
  if (depth >= device::kMaxHierarchyDepth) return;
  for (int slot = 0; slot < bus::kSlots; ++slot) {
    const device* dev = b.getDevice(slot);
    if (!dev) continue;
    const std::string position = prefix.empty() ? format("%u", slot) : prefix + format(".%u", slot);
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev->isFunction(fn)) continue;
      std::string line(2 * depth, ' ');
      line += position + format(" fn%u", fn);
      if (line.size() < 24) line.resize(24, ' ');
      line += std::string(dev->GetDevScriptString());
      if (line.size() < 46) line.resize(46, ' ');
      line += format("%04X:%04X  ", dev->read2(fn, LX_VENDOR_ID), dev->read2(fn, LX_DEVICE_ID));
      line += typeText(*dev, fn) + barsText(*dev, fn) + capsText(*dev, fn);
      if (fn == 0 && dev->getStatus() != 0)
        line += "  status " + std::to_string(dev->getStatus());
      out += line + "\n";
      const bus* below = dev->getDownstreamBus(fn);
      if (below && dev->isBridge(fn))
        describeBus(*below, fn == 0 ? position : position + format("/%u", fn), depth + 1, out);
    }
  }
}

}  // namespace

std::string describeHierarchy(const topology& hierarchy) {
  std::string out;
  int functions = 0;
  for (int i = 0; i < hierarchy.getDeviceCount(); ++i)
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn)
      if (hierarchy.getDevices()[i]->isFunction(fn)) ++functions;
  out += format("%u devices, %u functions\n", static_cast<unsigned>(hierarchy.getDeviceCount()),
                static_cast<unsigned>(functions));
  if (hierarchy.getRootBus()) describeBus(*hierarchy.getRootBus(), "", 0, out);
  return out;
}
