// vexoscan: opens the framework as a test program does and lists every function its scan
// finds, with IDs, header type, port type, parent and capability list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dat_report.h"
#include "dump_writer.h"
#include "function_report.h"
#include "platform/config_dump.h"
#include "platform/fs.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/standard_options.h"
#include "vexo.h"

namespace {

constexpr const char* usage_text =
    "Usage: vexoscan [--library PATH | --ini FILE] [--dat FILE] [--dump FILE]\n"
    "                [--write-dump FILE]\n"
    "\n"
    "Opens the test framework over the driver interface library and lists every PCI\n"
    "function its configuration-space scan finds (bus 0-254): bus:device.function,\n"
    "vendor:device ID, header type, PCI Express port type, parent (the bridge whose\n"
    "secondary bus holds the function) and the capability chain as offset:id(length),\n"
    "lengths as the framework's first/next walk gives them; \"(?)\" marks an entry the\n"
    "walk does not describe (an ID the framework refuses, or one after it). The listing\n"
    "follows the scan, after any diagnostics printed during it.\n"
    "\n"
    "  --library PATH  driver interface library to load (default: Pellor.dll next to\n"
    "                  the vexoscan executable, links resolved, i.e. libPellor.so)\n"
    "  --ini FILE      settings file naming the library in [DLL] DLLName=, read as a test\n"
    "                  program reads it (the library is looked for in the current folder)\n"
    "  --dat FILE      read a test program's DAT file, print what it sets and, instead of\n"
    "                  the whole list, the device(s) under test its DUT entries select\n"
    "                  (FindDevice with each entry's find flags)\n"
    "  --dump FILE     read configuration space from a dump that lspci -x, -xxx or\n"
    "                  -xxxx printed (or --write-dump wrote) instead of this machine or\n"
    "                  the lab; writes are refused\n"
    "  --write-dump FILE  also write what the scan reads to FILE in the same layout\n"
    "  -h, --help      this text\n"
    "  --version       the suite's version\n"
    "\n"
    "Without a lab (ZAMSIM_SOCKET unset) the drivers are this machine's sysfs; run as root\n"
    "to see extended configuration space. Exit code: 0 listed, 1 the framework did not\n"
    "open (or the settings file names no library) or its driver stopped answering during\n"
    "the scan, 2 bad arguments, an unreadable DAT, settings or dump file, or a dump that\n"
    "cannot be written, 3 a DUT entry selected nothing.\n";

struct options {
  std::string library;
  std::string settings_file;
  std::string dat_file;
  std::string dump_file;
  std::string write_dump_file;
  bool help = false;
  bool version = false;
  std::string error;
};

options parse(int argc, char** argv) {
  options result;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      result.help = true;
    } else if (argument == "--version") {
      result.version = true;
    } else if ((argument == "--library" || argument == "--ini") && i + 1 < argc) {
      (argument == "--library" ? result.library : result.settings_file) = argv[++i];
    } else if (argument == "--dat" && i + 1 < argc) {
      result.dat_file = argv[++i];
    } else if ((argument == "--dump" || argument == "--write-dump") && i + 1 < argc) {
      (argument == "--dump" ? result.dump_file : result.write_dump_file) = argv[++i];
    } else if (argument == "--library" || argument == "--ini" || argument == "--dat" ||
               argument == "--dump" || argument == "--write-dump") {
      result.error = argument + " needs a value";
    } else {
      result.error = "unknown argument '" + argument + "'";
    }
  }
  if (!result.library.empty() && !result.settings_file.empty()) {
    result.error = "give either --library or --ini, not both";
  }
  if (!result.write_dump_file.empty() && !result.dat_file.empty()) {
    result.error = "--write-dump writes the whole scan: give it without --dat";
  }
  return result;
}

// Where the default driver library lies: beside the real executable, also when vexoscan
// was started through a symbolic link.
std::string program_folder() {
  const std::string folder = platform::program_folder();
  return folder.empty() ? platform::current_directory() : folder;
}

// The settings file must name the driver library; the framework's own message for a
// missing name names no file and no key. Returns 0 when it does, else the exit code after
// saying what is wrong.
int check_settings_file(const std::string& file) {
  if (!platform::can_open_for_reading(file)) {
    std::fprintf(stderr, "vexoscan: the settings file %s cannot be read\n", file.c_str());
    return 2;
  }
  const std::string missing = "\x01";  // no value read from a text file is this
  const std::string name = platform::read_profile_string("DLL", "DLLName", missing, file, 1024);
  if (name == missing || name.empty()) {
    std::fprintf(stderr,
                 "vexoscan: the settings file %s names no driver library: section [DLL] has %s\n",
                 file.c_str(), name.empty() ? "an empty DLLName key" : "no DLLName key");
    return 1;
  }
  return 0;
}

// Opens the framework as chosen; returns 0, or the exit code after saying why it did not open.
int open_framework(const options& chosen, VEXO_HANDLE_t* handle) {
  VEXO_STATUS_t status;
  if (!chosen.settings_file.empty()) {
    const std::string file = platform::native_path(chosen.settings_file);
    const std::size_t slash = file.find_last_of(platform::native_separator);
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    if (const int code = check_settings_file(platform::join_path(folder, name))) return code;
    status = OpenVEXO(handle, 0, 0, folder.c_str(), name.c_str());
  } else {
    const std::string library = !chosen.library.empty()
                                    ? chosen.library
                                    : platform::join_path(program_folder(), "Pellor.dll");
    status = OpenVEXOEx(handle, 0, library.c_str(), 0, 0);
  }
  if (status == VEXO_STATUS_SUCCESS) return 0;
  std::fprintf(stderr, "vexoscan: the framework did not open: 0x%08X %s\n", status,
               VEXOGetErrorDesc(status));
  CloseVEXO(*handle);
  return 1;
}

// A dump replaces the machine: configuration space from the file, no lab. The file is read
// here first so that a malformed one ends the run with its message before anything opens.
int use_dump(const std::string& file) {
  platform::config_dump dump;
  std::string error;
  if (!platform::load_config_dump(file, dump, error)) {
    std::fprintf(stderr, "vexoscan: the dump %s cannot be used: %s\n", file.c_str(), error.c_str());
    return 2;
  }
  platform::set_environment("ZAM_CONFIG_DUMP", file);
  platform::unset_environment("ZAMSIM_SOCKET");
  return 0;
}

// Every function the scan finds, one line each. The lines are printed only after the scan,
// so that what the framework and the drivers print while it runs comes before the listing
// instead of in the middle of it. With `dump_file`, what the scan reads is written there too.
int list_functions(const std::string& dump_file) {
  std::vector<std::string> lines;
  std::string dump;
  for (unsigned bus = 0; bus <= 254; ++bus) {
    for (unsigned device = 0; device < 32; ++device) {
      for (unsigned function = 0; function < 8; ++function) {
        VEXO_DEVICE_HANDLE_t dev = nullptr;
        if (FindDevice(static_cast<unsigned char>(bus), static_cast<unsigned char>(device),
                       static_cast<unsigned char>(function), &dev) != VEXO_STATUS_SUCCESS) {
          continue;
        }
        lines.push_back(vexoscan::report_line(dev));
        if (!dump_file.empty()) {
          const std::string text = vexoscan::dump_function(dev);
          if (text.empty()) {
            std::fprintf(stderr, "vexoscan: warning: %.7s: no configuration byte can be read; not in the dump\n",
                         lines.back().c_str());
          }
          dump += text;
        }
        CloseDevice(dev);
      }
    }
  }
  std::fflush(stdout);
  std::printf("%s\n", vexoscan::report_heading().c_str());
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::printf("%zu function(s)\n", lines.size());
  std::fflush(stdout);
  // The scan counts failed reads as absent functions. A live configuration-space driver
  // answers every read, all ones where nothing is, so a failing read of 00:00.0 at the end
  // means the driver went away during the scan and the list above is not to be trusted.
  unsigned char identity[4];
  if (VEXO_ReadConfigSpace_Ex(0, 0, 0, 0, sizeof identity, identity) != sizeof identity) {
    std::fprintf(stderr, "vexoscan: the configuration-space driver stopped answering during the scan; "
                         "the list is incomplete\n");
    return 1;
  }
  std::string reason;
  if (!dump_file.empty() && !platform::write_whole_file(dump_file, dump, platform::output_kind::text, &reason)) {
    std::fprintf(stderr, "vexoscan: the dump %s cannot be written: %s\n", dump_file.c_str(), reason.c_str());
    return 2;
  }
  return 0;
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
  if (chosen.version) {
    std::fputs(platform::version_line("vexoscan").c_str(), stdout);
    return 0;
  }
  if (!chosen.dump_file.empty()) {
    if (const int code = use_dump(chosen.dump_file)) return code;
  }
  VEXO_DAT_INFO_t dat{};
  if (!chosen.dat_file.empty()) {
    if (parseDatFile(chosen.dat_file.c_str(), &dat) != VEXO_STATUS_SUCCESS) {
      std::fprintf(stderr, "vexoscan: the DAT file %s could not be read\n",
                   chosen.dat_file.c_str());
      return 2;
    }
    std::fputs(vexoscan::dat_summary(dat).c_str(), stdout);
    std::fflush(stdout);
    for (const std::string& warning : vexoscan::dat_warnings(dat)) {
      std::fprintf(stderr, "vexoscan: warning: %s\n", warning.c_str());
    }
  }
  VEXO_HANDLE_t framework = nullptr;
  if (const int code = open_framework(chosen, &framework)) {
    std::free(dat.user_name);
    return code;
  }
  int code = 0;
  if (!chosen.dat_file.empty()) {
    code = vexoscan::report_dat_selection(framework, dat) == 0 ? 0 : 3;
  } else {
    code = list_functions(chosen.write_dump_file);
  }
  std::free(dat.user_name);
  CloseVEXO(framework);
  return code;
}
