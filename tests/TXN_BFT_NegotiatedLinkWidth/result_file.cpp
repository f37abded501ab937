// The campaign file of TXN_BFT_NegotiatedLinkWidth, through the platform's profile functions.
#include "result_file.h"

#include <cstdio>

#include "platform/fs.h"
#include "platform/profile.h"

namespace nlw {
namespace {

std::string section_of(int index) { return "RootPort" + std::to_string(index); }

std::string hex(unsigned int value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

const char* plugging_word(int value) { return value == 1 ? "Passed" : "Failed"; }

}  // namespace

result_file::result_file(std::string path) : path_(platform::native_path(path)) {}

bool result_file::exists() const { return platform::file_exists(path_); }

void result_file::remove() const {
  if (exists()) platform::delete_file(path_);
}

bool result_file::belongs_to_other_dut(const dut_entry& dut, std::string* named) const {
  const std::string vendor = platform::read_profile_string("DUT", "VendorId", "", path_);
  const std::string device = platform::read_profile_string("DUT", "DeviceID", "", path_);
  *named = "VendorId[" + vendor + "] DeviceID[" + device + "]";
  return vendor != hex(dut.vendor_id) || device != hex(dut.device_id);
}

void result_file::create(const std::vector<port_entry>& ports, const dut_entry& dut) const {
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const std::string section = section_of(static_cast<int>(i));
    const port_entry& p = ports[i];
    const std::pair<const char*, std::string> keys[] = {
        {"VendorId", hex(p.vendor_id)},
        {"DeviceId", hex(p.device_id)},
        {"Bus", std::to_string(p.bus)},
        {"Device", std::to_string(p.device)},
        {"Function", std::to_string(p.function)},
        {"SlotNumber", std::to_string(p.slot)},
        {"MaxLinkWidth", std::to_string(p.max_width)},
        {"Slot_Status", "Not_Tested"},
        {"UpPluggingStatus", "Not_Tested"},
        {"EqualPluggingStatus", "Not_Tested"},
        {"DownShiftingStatus", "Not_Tested"},
    };
    for (const auto& [key, value] : keys) write(section, key, value);
  }
  const std::pair<const char*, std::string> dut_keys[] = {
      {"VendorId", hex(dut.vendor_id)},     {"DeviceID", hex(dut.device_id)},
      {"Bus", std::to_string(dut.bus)},     {"Device", std::to_string(dut.device)},
      {"Function", std::to_string(dut.function)}, {"MaxLinkWidth", std::to_string(dut.max_width)},
  };
  for (const auto& [key, value] : dut_keys) write("DUT", key, value);
  set_result("Failed");
}

void result_file::record_slot(int index, VEXO_STATUS_t status, const plugging& slot,
                              unsigned int negotiated_width) const {
  const std::string section = section_of(index);
  write(section, "Slot_Status", status == 0 ? "Success" : "Failed");
  if (slot.up != 2) write(section, "UpPluggingStatus", plugging_word(slot.up));
  if (slot.equal != 2) write(section, "EqualPluggingStatus", plugging_word(slot.equal));
  if (slot.down != 2) write(section, "DownShiftingStatus", plugging_word(slot.down));
  write(section, "NegotiatedLinkWidth", std::to_string(negotiated_width));
}

std::string result_file::slot_status(int index) const {
  return platform::read_profile_string(section_of(index), "Slot_Status", "Not_Tested", path_, 1000);
}

void result_file::set_result(const char* status) const { write("RESULT", "Status", status); }

void result_file::write(const std::string& section, const char* key, const std::string& value) const {
  if (!kept()) return;
  std::string reason;
  if (!platform::write_profile_string(section, key, value, path_, &reason)) failure_ = reason;
}

}  // namespace nlw
