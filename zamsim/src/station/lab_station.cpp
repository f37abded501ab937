// A running station: boot, roles and the recorded host configuration path.
#include "station/lab_station.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "base/pcie_regs.h"
#include "base/port_straps.h"
#include "link/tlp.h"

namespace zamsim {

// The host's view of the hierarchy: requests to the DUT's functions cross the link from
// the card's port (Type 0 on the link, whatever the host sent); everything else goes
// straight to the hierarchy. A write of Retrain Link to the card's port retrains the link.
class lab_station::recording_access : public config_access {
 public:
  recording_access(lab_station& station) : station_(station) {}

  completion read_dword(bdf target, uint16_t offset, uint32_t& value) override {
    if (!over_link(target)) return station_.tree_->read_dword(target, offset, value);
    return across_link(false, target, offset, 0x0F, 0, &value);
  }

  completion write_dword(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) override {
    if (!over_link(target)) {
      const completion result = station_.tree_->write_dword(target, offset, byte_enables, value);
      watch_card_port(target, offset, byte_enables, value);
      return result;
    }
    return across_link(true, target, offset, byte_enables, value, nullptr);
  }

 private:
  // The card's port passes on only requests for device 0 of its secondary bus (and Type 1
  // requests for buses further below).
  bool over_link(bdf target) const {
    const station_roles& roles = station_.roles_;
    if (!station_.link_ || target.bus < roles.port_secondary || target.bus > roles.port_subordinate) return false;
    return target.bus != roles.port_secondary || target.device == 0;
  }

  completion across_link(bool write, bdf target, uint16_t offset, uint8_t byte_enables, uint32_t data,
                         uint32_t* value) {
    constexpr uint16_t root_complex = 0x0000;
    const bool type1 = target.bus != station_.roles_.port_secondary;
    const auto cpl = station_.link_->host_request(
        config_request_tlp(write, type1, target, offset, byte_enables, data, root_complex, tag_++));
    if (!cpl) return completion::none;
    switch (completion_status(*cpl)) {
      case 0:
        if (value != nullptr) *value = completion_data(*cpl);
        return completion::success;
      case 1: return completion::unsupported;
      case 2: return completion::retry;
      default: return completion::abort;
    }
  }

  void watch_card_port(bdf target, uint16_t offset, uint8_t byte_enables, uint32_t value) {
    const station_roles& roles = station_.roles_;
    if (!station_.link_ || !roles.card_port || !(target == *roles.card_port)) return;
    const uint16_t cap = station_.tree_->pcie_capability(station_.config_.card_port_device);
    // Link Control is the low half of the dword at capability offset 0x10.
    if (cap == 0 || offset != cap + pcie::link_control || !(byte_enables & 1)) return;
    if (value & pcie::link_control_retrain) station_.link_->retrain_link();
  }

  lab_station& station_;
  uint8_t tag_ = 0;
};

lab_station::lab_station(station_config config, std::unique_ptr<hierarchy> tree)
    : config_(std::move(config)),
      tree_(std::move(tree)),
      host_(std::make_unique<recording_access>(*this)),
      card_(config_.card_mode, config_.card_next_boot_mode),
      operator_(config_.operator_answers) {
  usb_card_contents contents;
  contents.version_major = static_cast<uint8_t>(config_.card_firmware_version >> 16);
  contents.version_minor = static_cast<uint8_t>(config_.card_firmware_version >> 8);
  contents.version_build = static_cast<uint8_t>(config_.card_firmware_version);
  contents.dip_switches = static_cast<uint8_t>(config_.card_dip_switches);
  contents.link_state_a = static_cast<uint8_t>(config_.card_link_state_a);
  contents.link_state_b = static_cast<uint8_t>(config_.card_link_state_b);
  contents.scan_finds_window = config_.card_delay_scan_window != 0;
  contents.boot_firmware = config_.card_boot_firmware != 0;
  usb_ = std::make_unique<usb_controller>(card_, contents);
  if (config_.card_power_cycle_at_start) usb_->power_cycle();
  if (!config_.sut_root_complex.empty()) {
    sut_options options;
    options.root_complex_script = config_.sut_root_complex;
    options.firmware.memory_base = static_cast<uint32_t>(config_.sut_memory_base);
    options.firmware.memory_limit = static_cast<uint32_t>(config_.sut_memory_limit);
    options.firmware.io_base = config_.sut_io_base;
    options.firmware.io_limit = config_.sut_io_limit;
    options.firmware.faults = config_.firmware;
    // The slowest first answer the firmware test catalogue asks for is 2000 ms, which the
    // host sleeps scaled like every hardware delay of the lab; a margin covers a busy host.
    options.link.completion_timeout_ms = static_cast<uint32_t>(2000 * platform::time_scale()) + 200;
    sut_ = std::make_unique<system_under_test>(*usb_, options);
    operator_.set_power_switch([this](bool on) { sut_power(on); });
  }
}

lab_station::~lab_station() {
  operator_.set_power_switch(nullptr);
  sut_.reset();
}

void lab_station::sut_power(bool on) {
  if (!sut_) return;
  std::lock_guard lock(power_mutex_);
  if (!on) {
    sut_->power_off();
    return;
  }
  std::string error;
  if (!sut_->power_on(error)) std::fprintf(stderr, "zamsim: the system under test cannot power on: %s\n", error.c_str());
}

void lab_station::usb_host_waits() {
  if (!sut_ || card_.mode() != mode_topology) return;
  {
    std::lock_guard lock(power_mutex_);
    if (sut_->powered()) return;
    usb_powered_sut_ = true;
  }
  sut_power(true);
}

void lab_station::usb_host_left() {
  if (!sut_) return;
  {
    std::lock_guard lock(power_mutex_);
    if (!usb_powered_sut_) return;
    usb_powered_sut_ = false;
  }
  sut_power(false);
}

void lab_station::apply_straps() {
  using namespace pcie;
  const auto max_width = [this](int device, uint32_t width) {
    const uint16_t cap = tree_->pcie_capability(device);
    if (cap != 0) tree_->strap(device, cap + link_capabilities, width << 4, link_cap_max_width);
  };
  for (const auto& port : config_.root_ports) {
    const uint16_t cap = tree_->pcie_capability(port.device);
    if (cap == 0) continue;
    strap_port_type(*tree_, port.device, port_type_root_port, true);
    tree_->strap(port.device, cap + slot_capabilities, port.slot << 19, slot_cap_physical_slot);
    max_width(port.device, port.max_width);
  }
  if (config_.card_port_device >= 0) strap_port_type(*tree_, config_.card_port_device, port_type_downstream_port, false);
  if (config_.card_device >= 0) max_width(config_.card_device, config_.card_max_width);
  if (config_.card_port_device >= 0) max_width(config_.card_port_device, config_.card_max_width);
  if (config_.dut_device >= 0) {
    max_width(config_.dut_device, config_.faults.zero_link_width ? 0 : config_.dut_max_width);
  }
}

namespace {

// The PCI Express capability of a function, found by walking its capability list.
uint16_t find_pcie_capability(config_access& access, bdf at) {
  if (read16(access, at, pcie::vendor_id) == 0xFFFF) return 0;
  uint8_t offset = read8(access, at, pcie::capabilities_pointer) & 0xFC;
  for (int guard = 0; guard < 48 && offset >= 0x40; ++guard) {
    if (read8(access, at, offset) == pcie::capability_id_pcie) return offset;
    offset = read8(access, at, offset + 1) & 0xFC;
  }
  return 0;
}

}  // namespace

// Each link below a root port, and the DUT's link, trains to the smaller of its two ends'
// maximum widths (narrower when the station says so, or half the DUT's width when it
// trains narrow); both ends' Link Status report it. A port with nothing below reads 0.
void lab_station::train_links() {
  using namespace pcie;
  const auto width_of = [this](bdf at, uint16_t cap) { return (read32(*tree_, at, cap + link_capabilities) >> 4) & 0x3F; };
  const auto train = [&](int upstream_device, uint32_t forced) {
    const auto up = tree_->locate(upstream_device);
    const uint16_t up_cap = tree_->pcie_capability(upstream_device);
    if (!up || up_cap == 0) return;
    const bdf down{read8(*tree_, *up, secondary_bus), 0, 0};
    const uint16_t down_cap = find_pcie_capability(*tree_, down);
    uint32_t width = 0;
    int down_device = -1;
    if (down_cap != 0) {
      width = std::min(width_of(*up, up_cap), width_of(down, down_cap));
      if (forced != 0) width = std::min(width, forced);
      down_device = tree_->script_device_at(down).value_or(-1);
      if (down_device >= 0 && down_device == config_.dut_device) {
        if (config_.dut_negotiated_width != 0) width = std::min(width, config_.dut_negotiated_width);
        if (config_.faults.trains_narrow) width = std::min(width, std::max(1u, config_.dut_max_width / 2));
      }
    }
    const uint32_t field = uint32_t{link_status_negotiated_width} << 16;
    tree_->drive(upstream_device, up_cap + link_control, (width << 4) << 16, field);
    if (down_device >= 0) tree_->drive(down_device, down_cap + link_control, (width << 4) << 16, field);
  };
  for (const auto& port : config_.root_ports) train(port.device, port.negotiated_width);
  if (config_.card_port_device >= 0) train(config_.card_port_device, 0);
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
  train_links();
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
  // The roles must make sense in the hierarchy the script built.
  const auto header_type = [this](bdf at) { return read8(*tree_, at, pcie::header_type) & pcie::header_type_mask; };
  if (roles_.dut && header_type(*roles_.dut) != 0) {
    error = config_.path + ": [DUT] Device = " + std::to_string(config_.dut_device) + " is not an endpoint";
    return false;
  }
  if (roles_.card_port && (header_type(*roles_.card_port) != 1 || (roles_.dut && roles_.dut->bus != roles_.port_secondary))) {
    error = config_.path + ": [Card] Port = " + std::to_string(config_.card_port_device) +
            " is not the bridge directly above the DUT";
    return false;
  }
  if (roles_.card_port && roles_.dut) {
    dut_ = std::make_unique<dut_device>(*tree_, config_.dut_device, *roles_.dut, config_.faults);
    link_ = std::make_unique<dut_link>(card_, *dut_, [this](bool training) { set_link_training(training); },
                                       config_.faults.link);
  }
  return true;
}

void lab_station::set_link_training(bool training) {
  const uint16_t cap = tree_->pcie_capability(config_.card_port_device);
  if (cap == 0) return;
  // Link Status is the upper half of the dword at Link Control.
  const uint32_t bit = uint32_t{pcie::link_status_training} << 16;
  tree_->drive(config_.card_port_device, cap + pcie::link_control, training ? bit : 0, bit);
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

void lab_station::card_armed() {
  std::lock_guard lock(mutex_);
  if (link_) link_->application_round();
}

platform::answer lab_station::operator_prompt(const std::string& caption, const std::string& text,
                                              platform::buttons choice) {
  const platform::answer given = operator_.answer(caption, text, choice);
  if (given != platform::answer::ok && given != platform::answer::yes) return given;
  const auto has = [&](const char* word) { return text.find(word) != std::string::npos; };
  std::lock_guard lock(mutex_);
  if (!link_ || !has("application")) return given;
  if (has("stop")) {
    link_->stop_application();
  } else if (has("start")) {
    link_->start_application();  // idempotent; each start plays one round
  }
  return given;
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
  text += usb_->describe();
  if (sut_) text += sut_->describe();
  if (link_) text += link_->describe();
  text += operator_.describe();
  return text;
}

}  // namespace zamsim
