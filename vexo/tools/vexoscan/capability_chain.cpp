// The capability chain of one function, read by vexoscan itself and described by the
// framework's first/next walk where that walk reaches.
#include "capability_chain.h"

#include <cstdio>
#include <map>
#include <set>

namespace vexoscan {
namespace {

constexpr unsigned status_register = 0x06;
constexpr unsigned status_capabilities_list = 0x10;
constexpr unsigned header_type_register = 0x0E;
constexpr unsigned capabilities_pointer = 0x34;
constexpr unsigned pci_list_first = 0x40;
constexpr unsigned extended_list_first = 0x100;
constexpr unsigned pci_express_id = 0x10;

std::string hex(unsigned value, int digits = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

template <typename Word>
bool read_config(VEXO_DEVICE_HANDLE_t dev, unsigned offset, Word* value) {
  unsigned length = sizeof *value;
  return ReadConfigSpace(dev, value, offset, &length) == VEXO_STATUS_SUCCESS &&
         length == sizeof *value;
}

struct described_entry {
  unsigned id;
  unsigned length;
};

// What the framework's first/next walk hands out, by offset. The walk stops at the first
// refusal, at its end, or at an offset it already gave (a list that loops).
std::map<unsigned, described_entry> framework_walk(VEXO_DEVICE_HANDLE_t dev) {
  std::map<unsigned, described_entry> described;
  VEXO_CAP_HANDLE_t cap = nullptr;
  VEXO_STATUS_t status = GetFirstCapability(dev, &cap);
  while (status == VEXO_STATUS_SUCCESS && cap != nullptr) {
    VEXO_PCI_DEVICE_CAP_INFO_t info{};
    VEXO_QueryCapInfo(cap, &info);
    if (!described.emplace(info.offset, described_entry{info.id, info.length}).second) {
      VEXO_FreeCapabilityHandle(cap);
      break;
    }
    VEXO_CAP_HANDLE_t next = nullptr;
    status = GetNextCapability(dev, &next, cap);
    VEXO_FreeCapabilityHandle(cap);
    cap = next;
  }
  return described;
}

enum class entry_read { failed, found, list_empty };

// Follows one list. `read_entry` reads the entry at an offset into its ID and next offset;
// `lowest` is the smallest offset the list may use.
template <typename ReadEntry>
void follow_list(unsigned offset, unsigned lowest, std::set<unsigned>& visited,
                 capability_chain& chain, ReadEntry read_entry) {
  while (offset != 0) {
    if (offset < lowest) {
      chain.stop = "next pointer 0x" + hex(offset) + " lies below 0x" + hex(lowest);
      return;
    }
    if (!visited.insert(offset).second) {
      chain.stop = "list loops at 0x" + hex(offset);
      return;
    }
    unsigned id = 0, next = 0;
    switch (read_entry(offset, id, next)) {
      case entry_read::failed:
        chain.stop = "cannot read 0x" + hex(offset);
        return;
      case entry_read::found:
        chain.entries.push_back(chain_entry{offset, id});
        offset = next;
        break;
      case entry_read::list_empty:
        return;
    }
  }
}

// The chain as read, without the framework's descriptions.
capability_chain read_chain(VEXO_DEVICE_HANDLE_t dev) {
  capability_chain chain;
  uint8_t header_type = 0;
  uint16_t status = 0;
  uint8_t pointer = 0;
  if (!read_config(dev, header_type_register, &header_type) ||
      !read_config(dev, status_register, &status) ||
      !read_config(dev, capabilities_pointer, &pointer)) {
    chain.stop = "cannot read the header";
    return chain;
  }
  // Only the two ordinary header layouts hold a capability pointer at 0x34.
  if ((header_type & 0x7F) > 1 || (status & status_capabilities_list) == 0) return chain;

  std::set<unsigned> visited;
  follow_list(pointer & 0xFCu, pci_list_first, visited, chain,
              [&](unsigned offset, unsigned& id, unsigned& next) {
                uint8_t bytes[2] = {};
                unsigned length = sizeof bytes;
                if (ReadConfigSpace(dev, bytes, offset, &length) != VEXO_STATUS_SUCCESS) {
                  return entry_read::failed;
                }
                id = bytes[0];
                next = bytes[1] & 0xFCu;
                return entry_read::found;
              });
  if (!chain.stop.empty()) return chain;
  bool express = false;
  for (const chain_entry& entry : chain.entries) express = express || entry.id == pci_express_id;
  if (!express) return chain;

  follow_list(extended_list_first, extended_list_first, visited, chain,
              [&](unsigned offset, unsigned& id, unsigned& next) {
                uint32_t header = 0;
                if (!read_config(dev, offset, &header)) return entry_read::failed;
                id = header & 0xFFFFu;
                next = (header >> 20) & 0xFFCu;
                // No capability here: an empty extended list, or the end of a broken one.
                return id == 0x0000 || id == 0xFFFF ? entry_read::list_empty : entry_read::found;
              });
  return chain;
}

void describe_by_framework(VEXO_DEVICE_HANDLE_t dev, capability_chain& chain) {
  const auto described = framework_walk(dev);
  for (chain_entry& entry : chain.entries) {
    const auto found = described.find(entry.offset);
    if (found != described.end() && found->second.id == entry.id) {
      entry.described = true;
      entry.length = found->second.length;
    }
  }
}

}  // namespace

capability_chain read_capability_chain(VEXO_DEVICE_HANDLE_t dev) {
  capability_chain chain = read_chain(dev);
  describe_by_framework(dev, chain);
  return chain;
}

std::string capability_list(VEXO_DEVICE_HANDLE_t dev) {
  const capability_chain chain = read_capability_chain(dev);
  std::string text;
  for (const chain_entry& entry : chain.entries) {
    if (!text.empty()) text += " ";
    text += "0x" + hex(entry.offset, 2) + ":" + hex(entry.id, entry.offset >= extended_list_first ? 4 : 2);
    text += entry.described ? "(" + std::to_string(entry.length) + ")" : "(?)";
  }
  if (text.empty() && chain.stop.empty()) return "(none)";
  if (!chain.stop.empty()) text += (text.empty() ? "[" : " [") + chain.stop + "]";
  return text;
}

}  // namespace vexoscan
