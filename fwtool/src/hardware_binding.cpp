// Loads the hardware interface library by its ini name and binds its exports.
#include "hardware_binding.h"

#include <cstdio>

#include "platform/fs.h"

namespace fwtool {
namespace {

void show(VEXO_UI_HANDLE_t ui, const char* text) {
  const std::string message = text;
  const std::string button = "EXIT";
  DisplayInfoToUser(ui, &message, 1, nullptr, 0, 1, &button);
}

template <typename F>
F lookup(platform::library_handle library, const char* name) {
  return reinterpret_cast<F>(platform::find_symbol(library, name));
}

// The file to load for a name in the folder: the name itself, or for "Name.dll" the
// shared library the build makes of it. Empty when none can be opened.
std::string existing_file(const std::string& folder, const std::string& name) {
  for (const auto& candidate : platform::library_file_names(name)) {
    const std::string path = platform::native_path(folder + "\\" + candidate);
    if (platform::can_open_for_reading(path)) return path;
  }
  return {};
}

}  // namespace

hardware_interface::~hardware_interface() { platform::unload_library(library_); }

uint32_t hardware_interface::bind(const std::string& dll_name, const std::string& folder, VEXO_UI_HANDLE_t ui) {
  if (dll_name == "Dll not found") {
    std::fprintf(stderr, "Failed to find DLL file in INI. Exiting.\n");
    show(ui, "HARDWARE INTERFACE DLL ENTRY NOT PRESENT IN INI FILE.  SEE RELEASE NOTES FOR INSTALLATION "
             "INSTRUCTIONS");
    return binding_no_name;
  }
  if (dll_name == "XXXXXXX") {
    show(ui, "THE ORVENAPP.INI FILE HAS NOT BEEN UPDATED WITH A HARDWARE INTERFACE DLL.  PLEASE REFER TO THE "
             "RELEASE NOTES FOR INSTRUCTIONS ON COMPLETING INSTALLATION.");
    return binding_no_name;
  }
  const std::string path = existing_file(folder, dll_name);
  if (path.empty()) {
    std::fprintf(stderr, "Failed to open DLL file %s. Exiting.\n",
                 platform::native_path(folder + "\\" + dll_name).c_str());
    show(ui, "HARDWARE INTERFACE DLL COULD NOT BE FOUND.  SEE RELEASE NOTES FOR INSTALLATION INSTRUCTIONS.");
    return binding_load_failed;
  }
  uint32_t status = 0;
  library_ = platform::load_library(path);
  if (library_ == nullptr) {
    std::fprintf(stderr, "fwtool: %s\n", platform::library_error().c_str());
    status = binding_load_failed;
  } else {
    write_ = lookup<write_fn>(library_, "ORVENWriteConfigCompletion");
    read_ = lookup<read_fn>(library_, "ORVENReadConfigRequest");
    generate_tlp_ = lookup<other_fn>(library_, "ORVENGenerateTLP");
    init_ = lookup<init_fn>(library_, "ORVENInitHardwareDriver");
    close_ = lookup<close_fn>(library_, "ORVENCloseHardwareDriver");
    enable_option_rom_ = lookup<other_fn>(library_, "ORVENEnableOptionRom");
    disable_option_rom_ = lookup<other_fn>(library_, "ORVNEDisableOptionRom");
    set_option_rom_location_ = lookup<other_fn>(library_, "ORVENSetOptionRomLocation");
    program_option_rom_ = lookup<other_fn>(library_, "ORVENProgramOptionRomContents");
    if (write_ == nullptr || read_ == nullptr || init_ == nullptr || close_ == nullptr) {
      platform::unload_library(library_);
      forget();
      status = binding_missing_export;
    }
  }
  if (status != 0) {
    show(ui, "THE SPECIFIED HARDWARE INTERFACE DLL DOES NOT HAVE THE CORRECT ENTRY POINTS.  SEE RELEASE NOTES FOR "
             "DLL INTERFACE DETAILS.");
    std::printf("Hardware Interface Load Fail\n");
    std::fflush(stdout);
  }
  return status;
}

void hardware_interface::forget() {
  library_ = nullptr;
  init_ = nullptr;
  close_ = nullptr;
  read_ = nullptr;
  write_ = nullptr;
  generate_tlp_ = enable_option_rom_ = disable_option_rom_ = set_option_rom_location_ = program_option_rom_ = nullptr;
}

void hardware_interface::use(init_fn init, close_fn close, read_fn read, write_fn write) {
  init_ = init;
  close_ = close;
  read_ = read;
  write_ = write;
}

uint32_t hardware_interface::init(uint32_t timeout_ms) const { return init_ ? init_(timeout_ms) : not_bound; }

uint32_t hardware_interface::close() const { return close_ ? close_() : not_bound; }

uint32_t hardware_interface::read(uint32_t buffer_size, uint32_t timeout_ms, uint32_t* bytes_read,
                                  uint32_t* buffer) const {
  return read_ ? read_(buffer_size, timeout_ms, bytes_read, buffer) : not_bound;
}

uint32_t hardware_interface::write(const uint32_t* completion, uint32_t length, uint32_t timeout_ms) const {
  return write_ ? write_(completion, length, timeout_ms) : not_bound;
}

}  // namespace fwtool
