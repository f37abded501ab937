// The campaign file of TXN_BFT_NegotiatedLinkWidth: one section per root port slot, the DUT
// and the campaign's state, kept in the current folder across runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "width_check.h"

namespace nlw {

inline constexpr const char* result_file_name = "./TXN_BFT_NegotiatedLinkWidth.ini";

struct port_entry {
  uint16_t vendor_id = 0, device_id = 0;
  unsigned int bus = 0, device = 0, function = 0;
  unsigned int slot = 0, max_width = 0;
};

struct dut_entry {
  uint16_t vendor_id = 0, device_id = 0;
  unsigned int bus = 0, device = 0, function = 0;
  unsigned int max_width = 0;
};

class result_file {
 public:
  explicit result_file(std::string path = result_file_name);

  const std::string& path() const { return path_; }
  bool exists() const;
  void remove() const;
  // True when the file names another DUT (vendor or device ID) than this one.
  bool belongs_to_other_dut(const dut_entry& dut, std::string* named) const;
  // A new campaign: every slot and plugging case "Not_Tested", RESULT "Failed".
  void create(const std::vector<port_entry>& ports, const dut_entry& dut) const;
  // The outcome in the slot of port `index`.
  void record_slot(int index, VEXO_STATUS_t status, const plugging& slot,
                   unsigned int negotiated_width) const;
  std::string slot_status(int index) const;
  void set_result(const char* status) const;

  // Whether every write reached the file; after the first failure nothing more is written
  // (the campaign is lost) and `failure` says which file and why.
  bool kept() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }

 private:
  void write(const std::string& section, const char* key, const std::string& value) const;

  std::string path_;
  mutable std::string failure_;
};

}  // namespace nlw
