// What a DAT file sets, and which devices its DUT entries select.
#include "dat_report.h"

#include <cinttypes>
#include <cstdio>

#include "function_report.h"

namespace vexoscan {
namespace {

std::string formatted(const char* format, auto... values) {
  char text[1200];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

const char* mode_name(int32_t mode) {
  switch (mode) {
    case VEXO_DAT_MODE_PLATFORM: return "platform";
    case VEXO_DAT_MODE_ADD_IN: return "AddIn";
    case VEXO_DAT_MODE_SIMULATION: return "simulation";
  }
  return "(not set)";
}

}  // namespace

std::string dat_summary(const VEXO_DAT_INFO_t& dat) {
  std::string text;
  text += formatted("mode: %s\n", mode_name(dat.mode));
  text += formatted("user: %s\n", dat.user_name != nullptr ? dat.user_name : "(none)");
  text += formatted("settings folder: %s\n", dat.vexo_ini_path);
  text += formatted("settings file: %s\n", dat.vexo_ini_file);
  text += formatted("application settings file: %s\n", dat.app_ini_file);
  text += formatted("configuration base: 0x%" PRIx64 "\n", dat.pcie_base_address);
  text += formatted("replay count: %d\n", static_cast<int>(dat.replay_count));
  text += formatted("DUT config: offset 0x%x length 0x%x increment %d\n", dat.offset,
                    dat.length, dat.increment);
  text += formatted("SERR enable: %u\n", dat.serr_enable);
  for (int i = 0; i < dat.device_count; ++i) {
    const VEXO_DEVICE_FIND_INFO_t& d = dat.devices[i];
    text += formatted("DUT entry %d: flags 0x%x ids %04x:%04x bdf %u:%u.%u\n", i,
                      dat.find_flags[i], d.vendor_id,
                      d.device_id, d.bus, d.device, d.function);
  }
  return text;
}

std::vector<std::string> dat_warnings(const VEXO_DAT_INFO_t& dat) {
  constexpr uint32_t find_by_bdf = 0x1000;
  struct field {
    const char* name;
    unsigned value, unset, limit;
  };
  std::vector<std::string> warnings;
  // Numbers whose text held no digit or that were cut: the summary shows the value taken.
  std::vector<VEXO_DAT_NUMBER_NOTE_t> notes(VEXO_GetDatNumberNotes(&dat, nullptr, 0));
  notes.resize(VEXO_GetDatNumberNotes(&dat, notes.data(), static_cast<uint32_t>(notes.size())));
  for (const VEXO_DAT_NUMBER_NOTE_t& note : notes) {
    char text[256];
    VEXO_DescribeDatNumberNote(&note, text, sizeof text);
    warnings.push_back(std::string("DAT file: ") + text);
  }
  for (int i = 0; i < dat.device_count; ++i) {
    if ((dat.find_flags[i] & find_by_bdf) == 0) continue;
    const VEXO_DEVICE_FIND_INFO_t& d = dat.devices[i];
    // The reader keeps the bus as 16 bits (the bus byte and the byte after it).
    const unsigned bus = d.bus | (static_cast<unsigned>(d.unused) << 8);
    const field fields[] = {{"bus", bus, 0xFFFF, 255}, {"device", d.device, 0xFF, 31},
                            {"function", d.function, 0xFF, 7}};
    for (const field& f : fields) {
      if (f.value == f.unset) {
        warnings.push_back(formatted("DUT entry %d: %s is not set", i, f.name));
      } else if (f.value > f.limit) {
        warnings.push_back(
            formatted("DUT entry %d: %s %u is out of range (0-%u)", i, f.name, f.value, f.limit));
      }
    }
  }
  return warnings;
}

int report_dat_selection(VEXO_HANDLE_t framework, const VEXO_DAT_INFO_t& dat) {
  if (dat.device_count == 0) {
    std::printf("the DAT file has no DUT entry\n");
    return 1;
  }
  // Printed after every search, so that the framework's diagnostics come first.
  std::string report;
  int missing = 0;
  for (int i = 0; i < dat.device_count; ++i) {
    VEXO_DEVICE_FIND_INFO_t info = dat.devices[i];
    VEXO_DEVICE_HANDLE_t dev = nullptr;
    const VEXO_STATUS_t status = FindDevice(framework, &dev, dat.find_flags[i], &info);
    if (status != VEXO_STATUS_SUCCESS || dev == nullptr) {
      report += formatted("DUT entry %d selects no device (0x%08X)\n", i, status);
      ++missing;
      continue;
    }
    report += formatted("DUT entry %d selects:\n", i) + report_heading() + "\n" + report_line(dev) + "\n";
    CloseDevice(dev);
  }
  std::fflush(stdout);
  std::fputs(report.c_str(), stdout);
  return missing;
}

}  // namespace vexoscan
