// Which libraries a program loads: the fixed two and the one its settings file names.
#include "program_libraries.h"

#include <algorithm>
#include <cstdlib>

#include "platform/fs.h"
#include "platform/profile.h"
#include "vexo.h"

namespace zamsuite {
namespace {

// The framework settings file the program will read, empty when the DAT file is unreadable.
std::string settings_file(const std::string& dat_file, const std::string& working_folder) {
  VEXO_DAT_INFO_t info{};
  if (parseDatFile(dat_file.c_str(), &info) != VEXO_STATUS_SUCCESS) return {};
  std::free(info.user_name);
  const std::string folder = platform::native_path(info.vexo_ini_path);
  const std::string name = info.vexo_ini_file;
  if (folder.empty()) return name;  // a bare name: the system settings folder
  const std::string absolute = platform::is_absolute_path(folder) ? folder : platform::join_path(working_folder, folder);
  return platform::join_path(absolute, name);
}

}  // namespace

std::vector<std::string> program_library_names(const std::string& dat_file, const std::string& working_folder) {
  std::vector<std::string> names = {"vexo.dll", "Pellor.dll"};
  const std::string settings = settings_file(dat_file, working_folder);
  if (!settings.empty()) {
    const std::string named = platform::read_profile_string("DLL", "DLLName", "", settings);
    const auto same = [&](const std::string& name) { return platform::same_file_name(name, named); };
    if (!named.empty() && std::none_of(names.begin(), names.end(), same)) names.push_back(named);
  }
  return names;
}

}  // namespace zamsuite
