// The device under test: configuration completions and data link error reporting
// (PCIe Base 4.0 sec 6.2).
#include "dut/dut_device.h"

#include "dut/completion_timeout.h"
#include "link/tlp.h"
#include "base/pcie_regs.h"

namespace zamsim {
namespace {

constexpr uint16_t extended_capabilities = 0x100;
constexpr uint16_t ext_cap_id_aer = 0x0001;

// AER registers, offsets from the capability's start.
constexpr uint16_t aer_uncorrectable_status = 0x04;
constexpr uint16_t aer_uncorrectable_mask = 0x08;
constexpr uint16_t aer_uncorrectable_severity = 0x0C;
constexpr uint16_t aer_correctable_status = 0x10;
constexpr uint16_t aer_correctable_mask = 0x14;

// Device Control enables (bits 0-2) and Device Status detected bits (bits 0-2).
constexpr uint32_t error_correctable = 1u << 0;
constexpr uint32_t error_nonfatal = 1u << 1;
constexpr uint32_t error_fatal = 1u << 2;

struct error_bits {
  bool correctable;
  uint32_t aer_bit;
};

error_bits bits_of(link_error error) {
  switch (error) {
    case link_error::bad_tlp: return {true, 1u << 6};
    case link_error::bad_dllp: return {true, 1u << 7};
    case link_error::replay_rollover: return {true, 1u << 8};
    case link_error::replay_timeout: return {true, 1u << 12};
    case link_error::data_link_protocol: break;
  }
  return {false, 1u << 4};
}

uint8_t status_of(completion result) {
  switch (result) {
    case completion::success: return 0;
    case completion::unsupported: return 1;
    case completion::retry: return 2;
    default: return 4;
  }
}

}  // namespace

dut_device::dut_device(hierarchy& tree, int script_device, bdf at, dut_faults faults)
    : tree_(tree), script_device_(script_device), at_(at), faults_(faults) {
  pcie_cap_ = tree_.pcie_capability(script_device);
  // The extended capability list: ID in bits 15..0, next offset in bits 31..20.
  uint16_t offset = extended_capabilities;
  for (int guard = 0; guard < 64 && offset >= extended_capabilities; ++guard) {
    const uint32_t header = read(offset);
    if (header == 0 || header == 0xFFFFFFFFu) break;
    if ((header & 0xFFFF) == ext_cap_id_aer) {
      aer_cap_ = offset;
      break;
    }
    offset = static_cast<uint16_t>((header >> 20) & 0xFFC);
  }
}

uint32_t dut_device::read(uint16_t offset) {
  uint32_t value = 0;
  if (tree_.read_dword(at_, offset, value) != completion::success) return 0;
  return value;
}

void dut_device::set_bits(uint16_t offset, uint32_t bits) {
  tree_.drive(script_device_, static_cast<uint16_t>(offset & ~3u), bits << (8 * (offset & 3)),
              bits << (8 * (offset & 3)));
}

std::optional<std::vector<uint8_t>> dut_device::complete(const std::vector<uint8_t>& request) {
  const auto r = parse_config_request(request);
  if (!r) return std::nullopt;
  const auto execute = [&](bdf function, uint32_t& value) {
    return r->write ? tree_.write_dword(function, r->offset, r->byte_enables, r->data)
                    : tree_.read_dword(function, r->offset, value);
  };
  uint32_t value = 0;
  completion result = execute(r->target, value);
  if (result == completion::unsupported && r->target.function != 0 && faults_.answers_missing_functions) {
    result = execute(bdf{r->target.bus, r->target.device, 0}, value);  // function 0 answers for them all
  }
  if (result == completion::none) return std::nullopt;
  if (result == completion::unsupported) record_unsupported_request();
  const uint8_t status = status_of(result);
  bdf completer = r->target;
  if (faults_.wrong_completer_id) completer.function ^= 1;
  return config_completion_tlp(completer, status, !r->write && status == 0, value, r->requester, r->tag);
}

void dut_device::record_unsupported_request() {
  constexpr uint32_t aer_unsupported_request = 1u << 20;
  constexpr uint32_t unsupported_request_detected = 1u << 3;
  if (aer_cap_ != 0) set_bits(aer_cap_ + aer_uncorrectable_status, aer_unsupported_request);
  if (pcie_cap_ != 0) set_bits(pcie_cap_ + pcie::device_status, unsupported_request_detected);
}

std::optional<std::vector<uint8_t>> dut_device::report(link_error error) {
  const error_bits bits = bits_of(error);
  return signal(bits.correctable, bits.aer_bit);
}

std::optional<std::vector<uint8_t>> dut_device::report_completion_timeout() {
  constexpr uint32_t aer_completion_timeout = 1u << 14, aer_advisory_non_fatal = 1u << 13;
  if (aer_cap_ != 0) set_bits(aer_cap_ + aer_uncorrectable_status, aer_completion_timeout);
  return signal(true, aer_advisory_non_fatal);
}

uint64_t dut_device::completion_timeout() {
  if (pcie_cap_ == 0) return default_completion_timeout_ns;
  const uint32_t capabilities = read(pcie_cap_) >> 16;
  if ((capabilities & pcie::pcie_caps_version) < 2) return default_completion_timeout_ns;
  return completion_timeout_ns(read(pcie_cap_ + pcie::device_capabilities_2),
                               static_cast<uint16_t>(read(pcie_cap_ + pcie::device_control_2)));
}

std::optional<std::vector<uint8_t>> dut_device::signal(bool correctable, uint32_t aer_bit) {
  const error_bits bits{correctable, aer_bit};
  bool masked = false;
  bool fatal = false;
  if (aer_cap_ != 0) {
    if (bits.correctable) {
      set_bits(aer_cap_ + aer_correctable_status, bits.aer_bit);
      masked = (read(aer_cap_ + aer_correctable_mask) & bits.aer_bit) != 0;
    } else {
      set_bits(aer_cap_ + aer_uncorrectable_status, bits.aer_bit);
      masked = (read(aer_cap_ + aer_uncorrectable_mask) & bits.aer_bit) != 0;
      fatal = (read(aer_cap_ + aer_uncorrectable_severity) & bits.aer_bit) != 0;
    }
  } else {
    fatal = !bits.correctable;  // a data link protocol error is fatal by default
  }
  const uint32_t kind = bits.correctable ? error_correctable : fatal ? error_fatal : error_nonfatal;
  if (pcie_cap_ == 0) return std::nullopt;
  // Device Status sits in the upper half of the dword at Device Control.
  set_bits(pcie_cap_ + pcie::device_status, kind);
  if (masked || faults_.no_error_messages) return std::nullopt;
  const uint32_t device_control = read(pcie_cap_ + pcie::device_control) & 0xFFFF;
  const bool serr = (read(pcie::command) & pcie::command_serr) != 0;
  const bool enabled = (device_control & kind) != 0 || (!bits.correctable && serr);
  if (!enabled) return std::nullopt;
  const uint8_t code = bits.correctable ? message_err_cor : fatal ? message_err_fatal : message_err_nonfatal;
  return message_tlp(requester_id(at_), code);
}

}  // namespace zamsim
