// The DAT values a run rests on, stated, warned about and refused.
#include "dat_values.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace zam {
namespace {

constexpr uint32_t find_by_vendor_id = 0x00000001;
constexpr uint32_t find_by_device_id = 0x00000002;
constexpr uint32_t find_by_bdf = 0x00001000;

std::vector<VEXO_DAT_NUMBER_NOTE_t> notes_of(const VEXO_DAT_INFO_t& dat) {
  std::vector<VEXO_DAT_NUMBER_NOTE_t> notes(VEXO_GetDatNumberNotes(&dat, nullptr, 0));
  notes.resize(VEXO_GetDatNumberNotes(&dat, notes.data(), static_cast<uint32_t>(notes.size())));
  return notes;
}

}  // namespace

std::string describe_dat_number(const VEXO_DAT_NUMBER_NOTE_t& note) {
  std::string text(VEXO_DescribeDatNumberNote(&note, nullptr, 0), '\0');
  VEXO_DescribeDatNumberNote(&note, text.data(), static_cast<uint32_t>(text.size() + 1));
  return text;
}

std::string common_parameters_text(const VEXO_DAT_INFO_t& dat) {
  std::string dut;
  char part[96];
  if (dat.device_count <= 0) {
    dut = "no DUT element";
  } else {
    const uint32_t flags = dat.find_flags[0];
    const VEXO_DEVICE_FIND_INFO_t& d = dat.devices[0];
    if (flags & find_by_vendor_id) {
      std::snprintf(part, sizeof part, "vendorid 0x%X ", d.vendor_id);
      dut += part;
    }
    if (flags & find_by_device_id) {
      std::snprintf(part, sizeof part, "deviceid 0x%X ", d.device_id);
      dut += part;
    }
    if (flags & find_by_bdf) {
      std::snprintf(part, sizeof part, "bus %u device %u function %u ", d.bus, d.device,
                    d.function);
      dut += part;
    }
    if (dut.empty()) dut = "any ";
    dut.pop_back();
  }
  char text[256];
  std::snprintf(text, sizeof text,
                "Test parameters: DUT[%s] PCIEBaseAddress[0x%" PRIX64 "] DUTSerrEnable[%u]\n",
                dut.c_str(), dat.pcie_base_address, dat.serr_enable);
  return text;
}

void warn_about_dat_numbers(VEXO_LOG_HANDLE_t log, const VEXO_DAT_INFO_t& dat) {
  for (const VEXO_DAT_NUMBER_NOTE_t& note : notes_of(dat)) {
    WriteToLog(log, VEXO_LOG_WARNING, "DAT file: %s\n", describe_dat_number(note).c_str());
  }
}

VEXO_STATUS_t refuse_unclean_dat_numbers(VEXO_LOG_HANDLE_t log, VEXO_TEST_NUM_t* number,
                                         const char* program, const VEXO_DAT_INFO_t& dat,
                                         std::span<const VEXO_DAT_NUMBER_t> numbers) {
  for (const VEXO_DAT_NUMBER_NOTE_t& note : notes_of(dat)) {
    if (note.entry > 0) continue;  // the programs use the first DUT entry only
    bool used = false;
    for (VEXO_DAT_NUMBER_t n : numbers) used = used || n == note.number;
    if (!used) continue;
    const std::string text = "DAT file: " + describe_dat_number(note) +
                             ". The test does not run on this value: correct the DAT file\n";
    LogAssert(log, VEXO_LOG_ABORT, number, text.c_str());
    std::printf("%s. %s", program, text.c_str());
    std::fflush(stdout);
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  return VEXO_STATUS_SUCCESS;
}

VEXO_STATUS_t state_dat_values(VEXO_LOG_HANDLE_t log, VEXO_TEST_NUM_t* number,
                               const char* program, const VEXO_DAT_INFO_t& dat) {
  WriteToLog(log, VEXO_LOG_INFO, "%s", common_parameters_text(dat).c_str());
  warn_about_dat_numbers(log, dat);
  return refuse_unclean_dat_numbers(log, number, program, dat, dut_selection_numbers);
}

}  // namespace zam
