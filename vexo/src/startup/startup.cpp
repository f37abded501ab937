// OpenVEXO, OpenVEXOEx and CloseVEXO: bringing the driver interface library up and down.
#include <cstdio>
#include <string>

#include "common/guarded.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "platform/profile.h"
#include "startup/driver_binding.h"
#include "startup/driver_state.h"
#include "startup/framework_handle.h"
#include "startup/settings_path.h"
#include "startup/setup_problem.h"
#include "vexo.h"

namespace vexo {
namespace {

constexpr const char* missing_library_name = "Dll not found";
constexpr std::size_t library_name_buffer = 32;  // names of at most 31 characters

// The file that stands for a driver library path: the path itself, else the platform's
// name for it in the same folder ("Name.dll" is "libName.so" here). Empty when none exists.
std::string existing_library_file(const std::string& path) {
  const std::size_t slash = path.find_last_of(platform::native_separator);
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (const std::string& candidate : platform::library_file_names(name)) {
    const std::string file = folder + candidate;
    if (platform::can_open_for_reading(file)) return file;
  }
  return {};
}

// Loads the library in place of any earlier one. The tables are cleared first, so that a
// library that does not load leaves nothing bound that points into the one it replaces.
void load_driver_library(const std::string& file) {
  process_driver_state& state = driver_state();
  clear_driver_tables();
  platform::library_handle module = platform::load_library(file);
  std::unique_ptr<driver_library_record> previous = std::move(state.library);
  if (module != nullptr) state.library.reset(new driver_library_record{module});
  if (previous) platform::unload_library(previous->module);  // after the new load: a
                                                             // reload keeps its instance
}

// Why a settings file gives no driver library name: the file, its folder or the key.
std::string missing_library_name_cause(const std::string& settings) {
  if (!platform::can_open_for_reading(settings)) {
    const std::size_t slash = settings.find_last_of(platform::native_separator);
    const std::string folder = slash == std::string::npos ? "" : settings.substr(0, slash);
    if (!folder.empty() && !platform::file_exists(folder)) {
      return "settings folder [" + folder + "] does not exist, so settings file [" + settings +
             "] names no driver library (key DLLName in section [DLL])";
    }
    return "settings file [" + settings +
           "] cannot be read, so it names no driver library (key DLLName in section [DLL])";
  }
  return "settings file [" + settings + "] has no key DLLName in section [DLL]";
}

// Why the library gave no configuration table, with what it knows of its drivers.
std::string refused_table_cause(const std::string& file, bool has_entry) {
  if (!has_entry) {
    return "driver library [" + file + "] has no entry point " + config_table_entry +
           " (no configuration-space table)";
  }
  std::string trouble = driver_library_trouble();
  if (trouble.empty()) trouble = "no configuration-space driver was found";
  return "driver library [" + file + "] gave no configuration-space table (" +
         config_table_entry + " returned 0): " + trouble;
}

// Steps shared by both start-up calls, from the driver library path onwards.
VEXO_STATUS_t start_with_library(const std::string& library_path, uint64_t config_base,
                                 VEXO_HANDLE_t* handle) {
  const std::string file = existing_library_file(library_path);
  if (file.empty()) {
    std::fprintf(stderr, "Failed to open DLL file %s. Exiting.\n", library_path.c_str());
    keep_startup_problem("driver library file [" + library_path + "] does not exist");
    return VEXO_STATUS_FAILED;
  }
  load_driver_library(file);
  process_driver_state& state = driver_state();
  std::string load_error;
  if (!state.library) load_error = platform::library_error();
  // A library that did not load is not bound; opening the driver below then fails.
  if (state.library && !bind_driver_tables(state.library->module)) {
    const bool has_entry = platform::find_symbol(state.library->module, config_table_entry) != nullptr;
    report_startup_problem(refused_table_cause(file, has_entry));
    return VEXO_STATUS_FAILED;
  }

  if (!open_config_driver(config_base)) {
    std::printf("VEXO::PCIExpress VEXO. Initializing software based driver failed\n");
    std::fflush(stdout);
    if (!state.library) {
      report_startup_problem("driver library [" + file + "] did not load: " + load_error);
    } else {
      std::string trouble = driver_library_trouble();
      if (trouble.empty()) trouble = "the driver refused to open or to take its window";
      report_startup_problem("the configuration-space driver of [" + file +
                             "] could not be opened or given its window: " + trouble);
    }
    return VEXO_STATUS_DRIVER_INITIALIZATION_FAILED;
  }
  // The card interfaces need no set-up of their own: the card table, when offered, was
  // bound above. Start-up never stops here.

  framework_handle* created = make_framework_handle();
  if (created == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  *handle = created;
  return VEXO_STATUS_SUCCESS;
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t OpenVEXO(VEXO_HANDLE_t* handle, int, uint64_t config_base,
                                const char* settings_dir, const char* settings_file) {
  if (handle == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::guarded([&] {
    vexo::clear_startup_problem();
    const std::string settings = vexo::settings_file_path(settings_dir, settings_file);
    vexo::report_unreadable_settings_file(settings);
    const std::string library_name =
        platform::read_profile_string("DLL", "DLLName", vexo::missing_library_name, settings,
                                      vexo::library_name_buffer);
    if (library_name == vexo::missing_library_name) {
      // The library path is not formed yet, so the message names no file.
      std::fprintf(stderr, "Failed to find DLL file %s. Exiting.\n", "");
      vexo::report_startup_problem(vexo::missing_library_name_cause(settings));
      return VEXO_STATUS_FAILED;
    }
    const std::string library_path = platform::native_path(
        platform::join_path(platform::current_directory(), platform::native_path(library_name)));
    return vexo::start_with_library(library_path, config_base, handle);
  });
}

VEXO_API VEXO_STATUS_t OpenVEXOEx(VEXO_HANDLE_t* handle, int, const char* driver_library_path,
                                  uint64_t config_base, uint32_t) {
  if (handle == nullptr || driver_library_path == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return vexo::guarded([&] {
    vexo::clear_startup_problem();
    return vexo::start_with_library(platform::native_path(driver_library_path), config_base,
                                    handle);
  });
}

VEXO_API VEXO_STATUS_t CloseVEXO(VEXO_HANDLE_t) {
  vexo::process_driver_state& state = vexo::driver_state();
  if (state.config_table.CloseDriver != nullptr) {
    state.config_table.CloseDriver(state.driver_context);
  }
  // The tables point into the library about to be unloaded: forget them with it.
  vexo::clear_driver_tables();
  if (state.library) {
    platform::unload_library(state.library->module);
    state.library.reset();
  }
  return VEXO_STATUS_SUCCESS;
}
