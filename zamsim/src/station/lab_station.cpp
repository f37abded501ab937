// A running station: boot, roles and the recorded host configuration path.
#include "station/lab_station.h"

#include <cstdio>

#include "station/pcie_regs.h"
#include "card/trace.h"

namespace zamsim {

// The host's view of the hierarchy: requests pass through unchanged; while the card is
// armed, those to functions behind its port are recorded with their completions, each TLP
// followed by the Ack that acknowledges it.
class lab_station::recording_access : public config_access {
 public:
  recording_access(lab_station& station) : station_(station) {}

  completion read_dword(bdf target, uint16_t offset, uint32_t& value) override {
    const completion result = station_.tree_->read_dword(target, offset, value);
    record(false, target, offset, 0x0F, 0, result, value);
    return result;
  }

  completion write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) override {
    const completion result = station_.tree_->write_dword(target, offset, byte_enables, value);
    record(true, target, offset, byte_enables, value, result, 0);
    return result;
  }

 private:
  void record(bool write, bdf target, uint16_t offset, uint8_t byte_enables, uint32_t data,
              completion result, uint32_t read_value) {
    const station_roles& roles = station_.roles_;
    if (!roles.card_port || !station_.card_.recording() || target.bus < roles.port_secondary ||
        target.bus > roles.port_subordinate || result == completion::none) {
      return;
    }
    trace_buffer& trace = station_.card_.trace();
    const uint8_t tag = tag_++;
    constexpr uint16_t root_complex = 0x0000;
    trace.add_tlp(config_request_tlp(write, target.bus != roles.port_secondary, target, offset,
                                     byte_enables, data, root_complex, tag));
    trace.add_dllp(ack_nak_dllp(dllp_ack, downstream_sequence_));
    downstream_sequence_ = (downstream_sequence_ + 1) & 0xFFF;
    uint8_t status = 0;
    switch (result) {
      case completion::success: status = 0; break;
      case completion::unsupported: status = 1; break;
      case completion::retry: status = 2; break;
      default: status = 4; break;
    }
    trace.add_tlp(config_completion_tlp(target, status, !write && status == 0, read_value, root_complex, tag));
    trace.add_dllp(ack_nak_dllp(dllp_ack, upstream_sequence_));
    upstream_sequence_ = (upstream_sequence_ + 1) & 0xFFF;
  }

  lab_station& station_;
  uint8_t tag_ = 0;
  uint16_t downstream_sequence_ = 0;
  uint16_t upstream_sequence_ = 0;
};

lab_station::lab_station(station_config config, std::unique_ptr<hierarchy> tree)
    : config_(std::move(config)),
      tree_(std::move(tree)),
      host_(std::make_unique<recording_access>(*this)),
      card_(config_.card_mode, config_.card_next_boot_mode) {}

lab_station::~lab_station() = default;

void lab_station::apply_straps() {
  using namespace pcie;
  const auto link = [this](int device, uint32_t max_width, uint32_t negotiated) {
    const uint16_t cap = tree_->pcie_capability(device);
    if (cap == 0) return;
    tree_->strap(device, cap + link_capabilities, max_width << 4, link_cap_max_width);
    // Link Status sits in the upper half of the dword at Link Control.
    tree_->strap(device, cap + link_control, (negotiated << 4) << 16, uint32_t{link_status_negotiated_width} << 16);
  };
  // The Device/Port Type and Slot Implemented fields sit in the PCI Express Capabilities
  // register, the upper half of the capability's first dword.
  const auto port_type = [this](int device, uint32_t type, bool slot) {
    const uint16_t cap = tree_->pcie_capability(device);
    if (cap == 0) return;
    const uint32_t value = (type << 4) | (slot ? pcie_caps_slot_implemented : 0);
    tree_->strap(device, cap, value << 16, uint32_t{pcie_caps_port_type | pcie_caps_slot_implemented} << 16);
  };
  for (const auto& port : config_.root_ports) {
    const uint16_t cap = tree_->pcie_capability(port.device);
    if (cap == 0) continue;
    port_type(port.device, port_type_root_port, true);
    tree_->strap(port.device, cap + slot_capabilities, port.slot << 19, slot_cap_physical_slot);
    link(port.device, port.max_width, port.negotiated_width);
  }
  if (config_.card_port_device >= 0) port_type(config_.card_port_device, port_type_downstream_port, false);
  if (config_.dut_device >= 0) link(config_.dut_device, config_.dut_max_width, config_.dut_negotiated_width);
}

bool lab_station::boot(std::string& error) {
  std::lock_guard lock(mutex_);
  apply_straps();
  firmware_options options;
  options.memory_base = static_cast<uint32_t>(config_.memory_base);
  options.memory_limit = static_cast<uint32_t>(config_.memory_limit);
  options.io_base = config_.io_base;
  options.io_limit = config_.io_limit;
  report_ = run_firmware(*tree_, options);
  if (!report_.ok) {
    error = "virtual firmware: " + report_.error;
    return false;
  }
  const auto find = [&](int device, const char* role, std::optional<bdf>& out) {
    if (device < 0) return true;
    out = tree_->locate(device);
    if (!out) error = std::string("the ") + role + " (script device " + std::to_string(device) + ") is not in the hierarchy";
    return out.has_value();
  };
  if (!find(config_.card_device, "card", roles_.farrow) || !find(config_.card_port_device, "card's port", roles_.card_port) ||
      !find(config_.dut_device, "device under test", roles_.dut) ||
      !find(config_.known_endpoint_device, "known endpoint", roles_.known_endpoint)) {
    return false;
  }
  if (roles_.farrow) roles_.card_secondary = read8(*tree_, *roles_.farrow, pcie::secondary_bus);
  if (roles_.card_port) {
    roles_.port_secondary = read8(*tree_, *roles_.card_port, pcie::secondary_bus);
    roles_.port_subordinate = read8(*tree_, *roles_.card_port, pcie::subordinate_bus);
  }
  return true;
}

bool lab_station::host_read(bdf target, uint32_t offset, uint32_t length, uint8_t* out) {
  std::lock_guard lock(mutex_);
  read_config(*host_, target, offset, length, out);
  return true;  // absent functions read as all ones, as on a real bus
}

bool lab_station::host_write(bdf target, uint32_t offset, uint32_t length, const uint8_t* in) {
  std::lock_guard lock(mutex_);
  write_config(*host_, target, offset, length, in);
  return true;  // writes to absent functions are dropped, as on a real bus
}

std::string lab_station::describe() {
  std::lock_guard lock(mutex_);
  std::string text = "station " + config_.name + " (" + config_.path + ")\n";
  const auto role = [&](const char* name, const std::optional<bdf>& at) {
    text += std::string("  ") + name + ": " + (at ? at->to_string() : std::string("none")) + "\n";
  };
  role("card (Farrow port)", roles_.farrow);
  role("card port", roles_.card_port);
  role("device under test", roles_.dut);
  role("known endpoint", roles_.known_endpoint);
  char line[128];
  std::snprintf(line, sizeof line, "  boot: %d buses, %d functions, %d BARs assigned\n", report_.buses,
                report_.functions, report_.bars);
  text += line;
  text += tree_->describe();
  text += card_.describe();
  text += operator_.describe();
  return text;
}

}  // namespace zamsim
