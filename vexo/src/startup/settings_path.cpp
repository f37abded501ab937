// Where the framework's settings file lives.
#include "startup/settings_path.h"

#include <cstdio>

#include "platform/fs.h"

namespace vexo {

std::string settings_file_path(const char* settings_dir, const char* settings_file) {
  const std::string folder =
      settings_dir != nullptr ? std::string(settings_dir) : platform::current_directory() + "/ini/";
  const std::string name = settings_file != nullptr ? settings_file : default_settings_file;
  return platform::native_path(platform::join_path(platform::native_path(folder), name));
}

void report_unreadable_settings_file(const std::string& path) {
  if (!platform::can_open_for_reading(path)) {
    std::printf("file with name[%s] cannot be opened\n", path.c_str());
    std::fflush(stdout);
  }
}

}  // namespace vexo
