// Start-up of the firmware test tool and its two ways of running cases.
#include "fwtool_app.h"

#include <cstdio>

#include "command_line.h"
#include "hardware_binding.h"
#include "ini_settings.h"
#include "menus.h"
#include "platform/fs.h"
#include "platform/standard_options.h"
#include "vexomin.h"

namespace fwtool {
namespace {

// The framework objects of a run, released in reverse order.
struct framework {
  VEXO_HANDLE_t vexo = nullptr;
  VEXO_UI_HANDLE_t menu_ui = nullptr;
  VEXO_UI_HANDLE_t run_ui = nullptr;
  VEXO_LOG_HANDLE_t main_log = nullptr;
  ~framework() {
    if (main_log != nullptr) CloseLog(main_log);
    if (run_ui != nullptr) CloseUI(run_ui);
    if (menu_ui != nullptr) CloseUI(menu_ui);
    if (vexo != nullptr) CloseVEXO(vexo);
  }
};

void open_framework(framework& f, const std::string& folder) {
  if (OpenVEXO(&f.vexo, 0, 0, nullptr, nullptr) != VEXO_STATUS_SUCCESS) std::printf("Failed to open VEXO. Exiting.\n");
  if (CreateUI(f.vexo, &f.menu_ui, VEXO_UI_TYPE_DIALOG) != VEXO_STATUS_SUCCESS ||
      CreateUI(f.vexo, &f.run_ui, VEXO_UI_TYPE_DIALOG) != VEXO_STATUS_SUCCESS) {
    std::printf("Failed to open VEXO UI Handle. Exiting.\n");
  }
  const std::string log_path = platform::native_path(folder + "\\" + "Logs/ORVENLog.txt");
  platform::create_folders(platform::native_path(folder + "/Logs"));
  if (CreateLog(f.vexo, &f.main_log, VEXO_LOG_TYPE_RAW_TEXT, log_path.c_str(), 0) != VEXO_STATUS_SUCCESS) {
    std::printf("Failed to open VEXO Log Handle. Exiting.\n");
  }
  std::fflush(stdout);
}

}  // namespace

int run_fwtool(int argc, const char* const argv[]) {
  const std::string folder = platform::current_directory();
  const command_line cmd = parse_command_line(argc, argv, folder);
  if (cmd.help) {
    std::printf("%s", usage_text);
    return 0;
  }
  if (cmd.version) {
    std::fputs(platform::version_line("fwtool").c_str(), stdout);
    return 0;
  }
  if (!cmd.error.empty()) {
    std::fprintf(stderr, "fwtool: %s\n%s", cmd.error.c_str(), usage_text);
    return 1;
  }

  run_settings settings;
  settings.script_dir = folder + "/Tests";
  framework f;
  open_framework(f, folder);
  read_ini_settings(ini_path(folder), settings, stderr);

  hardware_interface hardware;
  const uint32_t bound = hardware.bind(read_dll_name(ini_path(folder)), folder, f.menu_ui);
  if (bound != 0) return static_cast<int>(reported_status(bound) & 0xFF);

  if (cmd.menus) {
    menus(settings, hardware, f.main_log, f.menu_ui, f.run_ui, folder).run_main_menu();
    return 0;
  }
  settings.script_dir = cmd.script_dir;
  settings.script_file = cmd.script_file;
  settings.test_name = cmd.test_name;
  const case_context context{settings, hardware, f.main_log, f.run_ui, folder};
  uint32_t flags = run_case(context, settings.prompt_operator).flags;
  // The main log is closed before the verdict: one that lost entries means the case's
  // record is gone, so the case does not count as run.
  if (f.main_log != nullptr && CloseLog(f.main_log) != VEXO_STATUS_SUCCESS) flags |= flag_not_started;
  f.main_log = nullptr;
  flags = reported_status(flags);
  std::printf("exiting with ORVENStatus = 0x%08x\n", flags);
  std::fflush(stdout);
  return static_cast<int>(flags & 0xFF);
}

}  // namespace fwtool
