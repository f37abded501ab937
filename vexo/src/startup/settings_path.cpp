// Where the framework's settings file lives.
#include "startup/settings_path.h"

#include <cstdio>

#include "platform/fs.h"

namespace vexo {

// A given but empty folder (a DAT file without "VEXOINIFilePath"). Windows joins it with a
// backslash as every other folder, which names the file at the root of the current drive,
// where stations that rely on it keep it. A POSIX root folder holds no settings, so there the
// bare name is kept and the profile reader finds it in the system settings folder.
std::string empty_folder_settings_path(const std::string& name) {
  if constexpr (platform::native_separator == '\\') {
    return platform::native_path(std::string(1, platform::native_separator) + name);
  } else {
    return platform::native_path(name);
  }
}

std::string settings_file_path(const char* settings_dir, const char* settings_file) {
  const std::string folder =
      settings_dir != nullptr ? std::string(settings_dir) : platform::current_directory() + "/ini/";
  const std::string name = settings_file != nullptr ? settings_file : default_settings_file;
  if (folder.empty()) return empty_folder_settings_path(name);
  return platform::native_path(platform::join_path(platform::native_path(folder), name));
}

void report_unreadable_settings_file(const std::string& path) {
  if (!platform::can_open_for_reading(path)) {
    std::printf("file with name[%s] cannot be opened\n", path.c_str());
    std::fflush(stdout);
  }
}

}  // namespace vexo
