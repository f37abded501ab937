// vexoscan: opens the framework as a test program does and lists every function its scan
// finds, with IDs, header type, port type, parent and capability list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dat_report.h"
#include "function_report.h"
#include "platform/fs.h"
#include "vexo.h"

namespace {

constexpr const char* usage_text =
    "Usage: vexoscan [--library PATH | --ini FILE] [--dat FILE]\n"
    "\n"
    "Opens the test framework over the driver interface library and lists every PCI\n"
    "function its configuration-space scan finds (bus 0-254): bus:device.function,\n"
    "vendor:device ID, header type, PCI Express port type, parent (as OpenDevice finds it)\n"
    "and the capability list as the first/next walk reports it.\n"
    "\n"
    "  --library PATH  driver interface library to load (default: Pellor.dll next to\n"
    "                  vexoscan, i.e. libPellor.so)\n"
    "  --ini FILE      settings file naming the library in [DLL] DLLName=, read as a test\n"
    "                  program reads it (the library is looked for in the current folder)\n"
    "  --dat FILE      read a test program's DAT file, print what it sets and, instead of\n"
    "                  the whole list, the device(s) under test its DUT entries select\n"
    "                  (FindDevice with each entry's find flags)\n"
    "  -h, --help      this text\n"
    "\n"
    "Without a lab (ZAMSIM_SOCKET unset) the drivers are this machine's sysfs; run as root\n"
    "to see extended configuration space. Exit code: 0 listed, 1 the framework did not\n"
    "open, 2 bad arguments or an unreadable DAT file, 3 a DUT entry selected nothing.\n";

struct options {
  std::string library;
  std::string settings_file;
  std::string dat_file;
  bool help = false;
  std::string error;
};

options parse(int argc, char** argv) {
  options result;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      result.help = true;
    } else if ((argument == "--library" || argument == "--ini") && i + 1 < argc) {
      (argument == "--library" ? result.library : result.settings_file) = argv[++i];
    } else if (argument == "--dat" && i + 1 < argc) {
      result.dat_file = argv[++i];
    } else if (argument == "--library" || argument == "--ini" || argument == "--dat") {
      result.error = argument + " needs a value";
    } else {
      result.error = "unknown argument '" + argument + "'";
    }
  }
  if (!result.library.empty() && !result.settings_file.empty()) {
    result.error = "give either --library or --ini, not both";
  }
  return result;
}

// The folder this program was started from: from its own path, else by searching PATH.
std::string program_folder(const char* argv0) {
  const std::string name = argv0 != nullptr ? argv0 : "";
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) return name.substr(0, slash);
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string folder = folders.substr(start, end - start);
    if (!folder.empty() && platform::can_open_for_reading(platform::join_path(folder, name))) {
      return folder;
    }
    start = end + 1;
  }
  return platform::current_directory();
}

VEXO_STATUS_t open_framework(const options& chosen, const char* argv0, VEXO_HANDLE_t* handle) {
  if (!chosen.settings_file.empty()) {
    const std::string file = platform::native_path(chosen.settings_file);
    const std::size_t slash = file.find_last_of(platform::native_separator);
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return OpenVEXO(handle, 0, 0, folder.c_str(), name.c_str());
  }
  const std::string library = !chosen.library.empty()
                                  ? chosen.library
                                  : platform::join_path(program_folder(argv0), "Pellor.dll");
  return OpenVEXOEx(handle, 0, library.c_str(), 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const options chosen = parse(argc, argv);
  if (!chosen.error.empty()) {
    std::fprintf(stderr, "vexoscan: %s\n\n%s", chosen.error.c_str(), usage_text);
    return 2;
  }
  if (chosen.help) {
    std::fputs(usage_text, stdout);
    return 0;
  }
  VEXO_DAT_INFO_t dat{};
  if (!chosen.dat_file.empty()) {
    if (parseDatFile(chosen.dat_file.c_str(), &dat) != VEXO_STATUS_SUCCESS) {
      std::fprintf(stderr, "vexoscan: the DAT file %s could not be read\n",
                   chosen.dat_file.c_str());
      return 2;
    }
    std::fputs(vexoscan::dat_summary(dat).c_str(), stdout);
  }
  VEXO_HANDLE_t framework = nullptr;
  const VEXO_STATUS_t status = open_framework(chosen, argv[0], &framework);
  if (status != VEXO_STATUS_SUCCESS) {
    std::fprintf(stderr, "vexoscan: the framework did not open: 0x%08X %s\n", status,
                 VEXOGetErrorDesc(status));
    CloseVEXO(framework);
    return 1;
  }
  if (!chosen.dat_file.empty()) {
    const int missing = vexoscan::report_dat_selection(framework, dat);
    std::free(dat.user_name);
    CloseVEXO(framework);
    return missing == 0 ? 0 : 3;
  }
  std::printf("%s\n", vexoscan::report_heading().c_str());
  int found = 0;
  for (unsigned bus = 0; bus <= 254; ++bus) {
    for (unsigned device = 0; device < 32; ++device) {
      for (unsigned function = 0; function < 8; ++function) {
        VEXO_DEVICE_HANDLE_t dev = nullptr;
        if (FindDevice(static_cast<unsigned char>(bus), static_cast<unsigned char>(device),
                       static_cast<unsigned char>(function), &dev) != VEXO_STATUS_SUCCESS) {
          continue;
        }
        std::printf("%s\n", vexoscan::report_line(dev).c_str());
        CloseDevice(dev);
        ++found;
      }
    }
  }
  std::printf("%d function(s)\n", found);
  // The scan counts failed reads as absent functions. A live configuration-space driver
  // answers every read, all ones where nothing is, so a failing read of 00:00.0 at the end
  // means the driver went away during the scan and the list above is not to be trusted.
  unsigned char identity[4];
  const bool driver_alive = VEXO_ReadConfigSpace_Ex(0, 0, 0, 0, sizeof identity, identity) == sizeof identity;
  CloseVEXO(framework);
  if (!driver_alive) {
    std::fprintf(stderr, "vexoscan: the configuration-space driver stopped answering during the scan; "
                         "the list is incomplete\n");
    return 1;
  }
  return 0;
}
