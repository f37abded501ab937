// The virtual firmware's enumeration: scan, bus numbers, sizing, assignment, enables.
#include "firmware/firmware.h"

#include <algorithm>
#include <memory>
#include <set>

#include "base/pcie_regs.h"
#include "platform/clock.h"

namespace zamsim {
namespace {

constexpr uint64_t memory_granularity = 1u << 20;  // bridge memory windows: 1 MB units
constexpr uint64_t io_granularity = 1u << 12;      // bridge I/O windows: 4 KB units

enum class space { io = 0, memory = 1, prefetch = 2 };

struct function_node;

// One request for address space: a BAR, an expansion ROM, or a child bridge's window.
struct request {
  function_node* owner = nullptr;
  uint16_t offset = 0;          // BAR or ROM register
  space kind = space::memory;
  bool is64 = false;
  bool rom = false;
  function_node* window_of = nullptr;  // a child bridge's window instead of a BAR
  space child_window = space::memory;  // which of the child's windows
  uint64_t size = 0;
  uint64_t alignment = 0;
  uint64_t advance = 0;  // how far the pointer moves past it; 0 means its size
};

struct window {
  bool present = false;
  bool is64 = false;
  uint64_t size = 0;
  uint64_t alignment = 0;
  uint64_t base = 0;
  std::vector<request> below;  // what the window must hold, largest alignment first
};

struct function_node {
  bdf at;
  bool bridge = false;
  std::vector<request> bars;
  std::vector<std::unique_ptr<function_node>> children;  // functions on the secondary bus
  window windows[3];
  bool io_used = false;
  bool memory_used = false;
};

class enumerator {
 public:
  enumerator(config_access& access, const firmware_options& options) : access_(access), options_(options) {}

  firmware_report run() {
    next_bus_ = options_.root_bus;
    std::vector<std::unique_ptr<function_node>> top;
    scan_bus(options_.root_bus, top);
    if (!report_.ok) return report_;
    report_.buses = next_bus_ - options_.root_bus;

    // Resources of the root bus come straight from the station's ranges.
    for (auto& f : top) size_tree(*f);
    window roots[3];
    for (auto& f : top) collect(*f, roots, /*has_prefetch=*/false);
    place(roots[int(space::io)], options_.io_base, options_.io_limit, "I/O");
    uint64_t memory_next = options_.memory_base;
    for (space kind : {space::memory, space::prefetch}) {
      window& w = roots[int(kind)];
      sort_requests(w.below);
      memory_next = assign_list(w.below, memory_next, options_.memory_limit, "memory");
    }
    for (auto& f : top) finish(*f);
    return report_;
  }

 private:
  // Reads the identity dword, retrying while the function answers with retry status.
  bool present(bdf at) {
    uint32_t waited = 0, pause = 1;
    for (;;) {
      uint32_t id = 0;
      const completion c = access_.read_dword(at, pcie::vendor_id, id);
      const bool retry = c == completion::retry || (c == completion::success && (id & 0xFFFF) == 0x0001);
      if (retry && options_.faults.no_crs_retry) return false;
      if (!retry) {
        return c == completion::success && id != 0xFFFFFFFFu && id != 0 && id != 0x0000FFFFu && id != 0xFFFF0000u;
      }
      if (waited >= options_.retry_budget_ms) {
        report_.warnings.push_back("function " + at.to_string() + " kept answering with retry status");
        return false;
      }
      if (options_.pause) {
        options_.pause(pause);
      } else {
        platform::sleep_ms(pause);
      }
      waited += pause;
      pause = std::min<uint32_t>(pause * 2, 64);
    }
  }

  void scan_bus(uint8_t bus, std::vector<std::unique_ptr<function_node>>& out) {
    int first_secondary = -1;  // of the first bridge on this bus
    for (uint8_t device = 0; device < 32 && report_.ok; ++device) {
      if (!present(bdf{bus, device, 0})) continue;
      const bool multi = (read8(access_, bdf{bus, device, 0}, pcie::header_type) & pcie::header_type_multifunction) != 0;
      for (uint8_t function = 0; function < (multi ? 8 : 1) && report_.ok; ++function) {
        const bdf at{bus, device, function};
        if (function > 0 && !present(at)) continue;
        auto node = std::make_unique<function_node>();
        node->at = at;
        node->bridge = (read8(access_, at, pcie::header_type) & pcie::header_type_mask) == 1;
        ++report_.functions;
        if (node->bridge) {
          const bool reuse = options_.faults.reuse_secondary_bus && first_secondary >= 0;
          number_bridge(*node, reuse ? first_secondary : -1);
          if (first_secondary < 0) first_secondary = next_bus_secondary_;
        }
        out.push_back(std::move(node));
      }
    }
  }

  // Bus numbers depth first: primary, the next free secondary, subordinate open while the
  // bus below is scanned, then fixed to the highest number used below.
  // `reused` >= 0 is the secondary bus a faulty firmware gives out a second time.
  void number_bridge(function_node& node, int reused) {
    if (reused < 0 && next_bus_ == 0xFF) {
      report_.ok = false;
      report_.error = "out of bus numbers at bridge " + node.at.to_string();
      return;
    }
    const uint8_t secondary = reused >= 0 ? static_cast<uint8_t>(reused) : ++next_bus_;
    next_bus_secondary_ = secondary;
    const uint32_t latency = read32(access_, node.at, pcie::primary_bus) & 0xFF000000u;
    write32(access_, node.at, pcie::primary_bus, latency | 0x00FF0000u | uint32_t{secondary} << 8 | node.at.bus);
    scan_bus(secondary, node.children);
    if (!options_.faults.no_subordinate_fixup) write8(access_, node.at, pcie::subordinate_bus, next_bus_);
  }

  // Sizes BARs with decoding off: save, write all ones, read back, restore.
  uint32_t probe(bdf at, uint16_t offset, uint32_t ones) {
    const uint32_t saved = read32(access_, at, offset);
    write32(access_, at, offset, ones);
    const uint32_t value = read32(access_, at, offset);
    write32(access_, at, offset, saved);
    return value;
  }

  void size_bars(function_node& node) {
    const uint16_t command = read16(access_, node.at, pcie::command);
    write16(access_, node.at, pcie::command, command & ~(pcie::command_io | pcie::command_memory));
    const int count = node.bridge ? 2 : 6;
    for (int i = 0; i < count; ++i) {
      const uint16_t offset = static_cast<uint16_t>(pcie::bar0 + 4 * i);
      const uint32_t value = probe(node.at, offset, 0xFFFFFFFFu);
      if (value == 0) continue;
      request r;
      r.owner = &node;
      r.offset = offset;
      if (value & pcie::bar_io) {
        uint32_t mask = value & ~3u;
        if ((mask & 0xFFFF0000u) == 0) mask |= 0xFFFF0000u;  // a 16-bit I/O decoder
        r.kind = space::io;
        r.size = uint32_t(~mask + 1);
      } else {
        r.kind = (value & pcie::bar_mem_prefetch) ? space::prefetch : space::memory;
        uint64_t mask = value & ~0xFu;
        if ((value & pcie::bar_mem_type_mask) == pcie::bar_mem_type_64 && i + 1 < count) {
          r.is64 = true;
          mask |= uint64_t{probe(node.at, static_cast<uint16_t>(offset + 4), 0xFFFFFFFFu)} << 32;
          ++i;
        } else {
          mask |= 0xFFFFFFFF00000000ull;
        }
        r.size = ~mask + 1;
      }
      if (r.size == 0) continue;
      r.alignment = r.size;
      if (r.kind != space::io && options_.faults.bars_4k_aligned) r.alignment = 4096;
      if (r.is64 && options_.faults.mem64_as_two_mem32) {
        // Taken for two 32-bit BARs: the upper half reads back all ones, which as a 32-bit
        // memory BAR asks for 16 bytes, so the pointer moves on by 16 bytes only.
        r.is64 = false;
        r.advance = 16;
      }
      node.bars.push_back(r);
    }
    const uint16_t rom = node.bridge ? pcie::bridge_rom_address : pcie::rom_address;
    const uint32_t rom_value = probe(node.at, rom, pcie::rom_address_mask) & pcie::rom_address_mask;
    if (rom_value != 0) {
      request r;
      r.owner = &node;
      r.offset = rom;
      r.rom = true;
      r.kind = space::memory;
      r.size = uint32_t(~rom_value + 1);
      r.alignment = r.size;
      node.bars.push_back(r);
    }
  }

  // Which windows the bridge implements; all of them closed (base above limit).
  void probe_windows(function_node& node) {
    const bdf at = node.at;
    write16(access_, at, pcie::io_base, 0xF0F0);
    const uint16_t io = read16(access_, at, pcie::io_base);
    node.windows[int(space::io)].present = io != 0;
    node.windows[int(space::io)].is64 = (io & 0x0F) == 1;  // 32-bit I/O addressing
    node.windows[int(space::memory)].present = true;       // every bridge decodes memory
    write32(access_, at, pcie::prefetch_base, 0xFFF0FFF0u);
    const uint32_t prefetch = read32(access_, at, pcie::prefetch_base);
    node.windows[int(space::prefetch)].present = prefetch != 0;
    node.windows[int(space::prefetch)].is64 = (prefetch & 0x0F) == 1;
    close_windows(at);
  }

  void close_windows(bdf at) {
    write16(access_, at, pcie::io_base, 0x00F0);
    write32(access_, at, pcie::io_base_upper, 0);
    write32(access_, at, pcie::memory_base, 0x0000FFF0u);
    write32(access_, at, pcie::prefetch_base, 0x0000FFF0u);
    write32(access_, at, pcie::prefetch_base_upper, 0);
    write32(access_, at, pcie::prefetch_limit_upper, 0);
  }

  // Largest alignment first. A firmware that aligns to 4 KB only keeps the order it found
  // the BARs in among equal alignments.
  void sort_requests(std::vector<request>& list) const {
    const bool by_size = !options_.faults.bars_4k_aligned;
    std::stable_sort(list.begin(), list.end(), [by_size](const request& a, const request& b) {
      if (a.alignment != b.alignment) return a.alignment > b.alignment;
      return by_size && a.size > b.size;
    });
  }

  // Puts a function's BARs and, for a bridge, its windows into the parent's window lists.
  void collect(function_node& node, window* parent, bool parent_has_prefetch) {
    for (const request& r : node.bars) {
      space kind = r.kind;
      if (kind == space::prefetch && !parent_has_prefetch) kind = space::memory;
      request copy = r;
      copy.kind = kind;
      parent[int(kind)].below.push_back(copy);
    }
    if (!node.bridge) return;
    for (space kind : {space::io, space::memory, space::prefetch}) {
      const window& w = node.windows[int(kind)];
      if (w.size == 0) continue;
      // A prefetchable window placed in the parent's memory window is still programmed
      // into the child's prefetchable registers.
      request r;
      r.owner = &node;
      r.window_of = &node;
      r.child_window = kind;
      r.kind = kind == space::prefetch && !parent_has_prefetch ? space::memory : kind;
      r.size = w.size;
      r.alignment = w.alignment;
      parent[int(r.kind)].below.push_back(r);
    }
  }

  // Sizing bottom up: each bridge window is the aligned sum of what lies below it.
  void size_tree(function_node& node) {
    size_bars(node);
    report_.bars += static_cast<int>(node.bars.size());
    if (!node.bridge) return;
    probe_windows(node);
    for (auto& child : node.children) size_tree(*child);
    for (auto& child : node.children) collect(*child, node.windows, node.windows[int(space::prefetch)].present);
    for (space kind : {space::io, space::memory, space::prefetch}) {
      window& w = node.windows[int(kind)];
      sort_requests(w.below);
      if (w.below.empty()) continue;
      if (!w.present) {
        report_.warnings.push_back("bridge " + node.at.to_string() + " has no I/O window for the I/O BARs below it");
        w.below.clear();
        continue;
      }
      const uint64_t granularity = kind == space::io ? io_granularity : memory_granularity;
      uint64_t end = 0;
      for (const request& r : w.below) end = align_up(end, r.alignment) + r.size;
      w.size = align_up(end, granularity);
      w.alignment = std::max(granularity, w.below.front().alignment);
    }
  }

  static uint64_t align_up(uint64_t value, uint64_t alignment) {
    return alignment <= 1 ? value : (value + alignment - 1) & ~(alignment - 1);
  }

  void place(window& w, uint64_t base, uint64_t limit, const char* what) {
    sort_requests(w.below);
    assign_list(w.below, base, limit, what);
  }

  // Assignment top down: every request aligned to its own size inside [next, limit].
  uint64_t assign_list(std::vector<request>& list, uint64_t next, uint64_t limit, const char* what) {
    const function_node* last_owner = nullptr;
    uint64_t last_at = 0;
    for (request& r : list) {
      if (options_.faults.no_pointer_advance && r.window_of == nullptr) {
        if (last_owner != nullptr && r.owner != last_owner) next = last_at;  // not moved past the last function
        last_owner = r.owner;
      }
      const uint64_t at = align_up(next, r.alignment);
      if (r.window_of == nullptr) last_at = at;
      if (at + r.size - 1 > limit || at + r.size < at) {
        report_.warnings.push_back(std::string("no room for ") + what + " resource of " + r.owner->at.to_string() +
                                   " (" + std::to_string(r.size) + " bytes)");
        continue;
      }
      next = at + (r.advance != 0 ? r.advance : r.size);
      if (r.window_of != nullptr) {
        window& w = r.window_of->windows[int(r.child_window)];
        w.base = at;
        program_window(*r.window_of, r.child_window, at, at + w.size - 1);
        assign_list(w.below, at, at + w.size - 1, what);
      } else {
        program_bar(r, at);
      }
    }
    return next;
  }

  void program_window(function_node& node, space kind, uint64_t base, uint64_t limit) {
    if (kind != space::io && options_.faults.window_one_short) limit -= memory_granularity;
    write_window(node.at, kind, base, limit);
    (kind == space::io ? node.io_used : node.memory_used) = true;
  }

  void write_window(bdf at, space kind, uint64_t base, uint64_t limit) {
    switch (kind) {
      case space::io:
        write8(access_, at, pcie::io_base, static_cast<uint8_t>((base >> 8) & 0xF0));
        write8(access_, at, pcie::io_limit, static_cast<uint8_t>((limit >> 8) & 0xF0));
        write16(access_, at, pcie::io_base_upper, static_cast<uint16_t>(base >> 16));
        write16(access_, at, pcie::io_limit_upper, static_cast<uint16_t>(limit >> 16));
        break;
      case space::memory:
        write16(access_, at, pcie::memory_base, static_cast<uint16_t>((base >> 16) & 0xFFF0));
        write16(access_, at, pcie::memory_limit, static_cast<uint16_t>((limit >> 16) & 0xFFF0));
        break;
      case space::prefetch:
        write16(access_, at, pcie::prefetch_base, static_cast<uint16_t>((base >> 16) & 0xFFF0));
        write16(access_, at, pcie::prefetch_limit, static_cast<uint16_t>((limit >> 16) & 0xFFF0));
        write32(access_, at, pcie::prefetch_base_upper, static_cast<uint32_t>(base >> 32));
        write32(access_, at, pcie::prefetch_limit_upper, static_cast<uint32_t>(limit >> 32));
        break;
    }
  }

  void program_bar(const request& r, uint64_t at) {
    const bdf where = r.owner->at;
    if (r.rom) {
      write32(access_, where, r.offset, static_cast<uint32_t>(at) & pcie::rom_address_mask);  // enable bit clear
    } else {
      write32(access_, where, r.offset, static_cast<uint32_t>(at));
      if (r.is64) write32(access_, where, static_cast<uint16_t>(r.offset + 4), static_cast<uint32_t>(at >> 32));
    }
    if (r.kind == space::io) {
      r.owner->io_used = true;
    } else {
      r.owner->memory_used = true;
    }
  }

  // Enables where resources were assigned, bridges forward, ASPM off; children first.
  void finish(function_node& node) {
    for (auto& child : node.children) finish(*child);
    uint16_t command = read16(access_, node.at, pcie::command);
    command &= ~(pcie::command_io | pcie::command_memory);
    if (node.io_used) command |= pcie::command_io;
    if (node.memory_used && !options_.faults.memory_enable_off) command |= pcie::command_memory;
    if (node.bridge) {
      command |= pcie::command_bus_master | pcie::command_serr;
      write16(access_, node.at, pcie::bridge_control,
              read16(access_, node.at, pcie::bridge_control) | pcie::bridge_control_serr);
    }
    write16(access_, node.at, pcie::command, command);
    if (node.bridge && options_.faults.empty_window_open) open_empty_windows(node);
    pcie_settings(node.at);
  }

  // A faulty firmware leaves the windows it did not need open at address 0.
  void open_empty_windows(function_node& node) {
    for (space kind : {space::io, space::memory, space::prefetch}) {
      const window& w = node.windows[int(kind)];
      if (w.present && w.size == 0) {
        write_window(node.at, kind, 0, (kind == space::io ? io_granularity : memory_granularity) - 1);
      }
    }
  }

  // In the PCI Express capability: ASPM off (unless the aspm-left-on fault keeps it as the
  // hardware came up); the completion timeout at range B (16-55 ms)
  // where the function supports that range.
  void pcie_settings(bdf at) {
    if ((read16(access_, at, pcie::status) & pcie::status_capabilities) == 0) return;
    std::set<uint8_t> visited;  // a looping list ends the walk
    uint8_t offset = read8(access_, at, pcie::capabilities_pointer) & 0xFC;
    while (offset >= 0x40 && visited.insert(offset).second) {
      const uint16_t header = read16(access_, at, offset);
      if ((header & 0xFF) == pcie::capability_id_pcie) {
        const uint16_t control = read16(access_, at, offset + pcie::link_control);
        if (!options_.faults.aspm_left_on && (control & pcie::link_control_aspm)) {
          write16(access_, at, offset + pcie::link_control, control & ~pcie::link_control_aspm);
        }
        completion_timeout_range_b(at, offset);
        return;
      }
      offset = static_cast<uint8_t>(header >> 8) & 0xFC;
    }
  }

  // Device Capabilities 2 and Device Control 2 exist from capability version 2 on.
  void completion_timeout_range_b(bdf at, uint8_t cap) {
    const uint16_t capabilities = read16(access_, at, static_cast<uint16_t>(cap + pcie::capabilities_register));
    if ((capabilities & pcie::pcie_caps_version) < 2) return;
    const uint32_t ranges = read32(access_, at, static_cast<uint16_t>(cap + pcie::device_capabilities_2));
    if ((ranges & pcie::devcap2_timeout_range_b) == 0) return;
    const uint16_t where = static_cast<uint16_t>(cap + pcie::device_control_2);
    const uint16_t control = read16(access_, at, where);
    write16(access_, at, where,
            static_cast<uint16_t>((control & ~pcie::devctl2_timeout_value) | pcie::timeout_value_range_b_55ms));
  }

  config_access& access_;
  const firmware_options& options_;
  firmware_report report_;
  uint8_t next_bus_ = 0;
  uint8_t next_bus_secondary_ = 0;  // the secondary bus number_bridge gave out last
};

}  // namespace

firmware_report run_firmware(config_access& access, const firmware_options& options) {
  return enumerator(access, options).run();
}

}  // namespace zamsim
