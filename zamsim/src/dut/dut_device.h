// The device under test behind the card: it completes the configuration requests that
// reach it over the link, and records the data link errors its link reports the way
// hardware does (AER status, Device Status) and decides which error message to send.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dut/dut_faults.h"
#include "link/data_link.h"
#include "base/hierarchy.h"

namespace zamsim {

class dut_device {
 public:
  // `script_device` is the DUT's device number in the topology script, `at` where its
  // function 0 sits after the boot.
  dut_device(hierarchy& tree, int script_device, bdf at, dut_faults faults = {});

  // Executes a configuration request; the completion to send, or nothing when the
  // function does not answer at all. A request to a function the device lacks gets an
  // Unsupported Request completion and sets Unsupported Request Detected.
  std::optional<std::vector<uint8_t>> complete(const std::vector<uint8_t>& request);

  // Records a data link error; returns the message to send upstream, if the enables,
  // masks and severities allow one.
  std::optional<std::vector<uint8_t>> report(link_error error);

  // A request of the device timed out and was reissued: Completion Timeout (uncorrectable
  // bit 14) handled as an Advisory Non-Fatal Error (correctable bit 13, Correctable Error
  // Detected, ERR_COR when enabled). Returns the message to send, if any.
  std::optional<std::vector<uint8_t>> report_completion_timeout();

  // How long a request of the device waits for its completion (ns of virtual time), as its
  // Device Control 2 sets it; 50 ms without a version 2 PCI Express capability.
  uint64_t completion_timeout();

  bdf id() const { return at_; }
  const dut_faults& faults() const { return faults_; }
  uint16_t pcie_capability() const { return pcie_cap_; }
  uint16_t aer_capability() const { return aer_cap_; }

 private:
  uint32_t read(uint16_t offset);
  void set_bits(uint16_t offset, uint32_t bits);
  void record_unsupported_request();
  std::optional<std::vector<uint8_t>> signal(bool correctable, uint32_t aer_bit);

  hierarchy& tree_;
  int script_device_;
  bdf at_;
  dut_faults faults_;
  uint16_t pcie_cap_ = 0;
  uint16_t aer_cap_ = 0;
};

}  // namespace zamsim
