// Looking a program up the way CreateProcess would, but only on PATH (as execvp does).
#include "program_search.h"

#include <windows.h>

#include "error_text.h"
#include "platform/fs.h"
#include "platform/process.h"

namespace platform::detail {
namespace {

std::string with_extension(const std::string& name) {
  const std::size_t folder_end = name.find_last_of("\\/");
  const std::size_t dot = name.find('.', folder_end == std::string::npos ? 0 : folder_end + 1);
  return dot == std::string::npos ? name + ".exe" : name;
}

bool is_file(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::string from_working_folder(const std::string& path, const std::string& working_folder) {
  const std::string native = native_path(path);
  return is_absolute_path(native) || working_folder.empty() ? native : join_path(working_folder, native);
}

std::string find_program(const std::string& name, const std::string& working_folder, std::string* error) {
  const std::string file = with_extension(native_path(name));
  if (file.find('\\') != std::string::npos) return from_working_folder(file, working_folder);
  const std::string path = get_environment("PATH");
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(path_list_separator, start);
    if (end == std::string::npos) end = path.size();
    std::string folder = path.substr(start, end - start);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') folder = folder.substr(1, folder.size() - 2);
    if (!folder.empty() && is_file(join_path(folder, file))) return join_path(folder, file);
    start = end + 1;
  }
  *error = windows_error_text(ERROR_FILE_NOT_FOUND);
  return {};
}

}  // namespace platform::detail
