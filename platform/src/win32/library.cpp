// Shared libraries on Windows: LoadLibraryA, GetProcAddress and FreeLibrary.
#include <windows.h>

#include "error_text.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "platform/process.h"

namespace platform {
namespace {

thread_local std::string last_library_error;

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The folder of the module that holds this code (the DLL that links the platform layer).
std::string calling_module_folder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&calling_module_folder), &module)) {
    return {};
  }
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return {};
  return folder_of(std::string(path, length));
}

library_handle try_open(const std::string& path, std::string& errors) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    if (!errors.empty()) errors += "; ";
    errors += path + ": " + detail::windows_error_text(GetLastError());
  }
  return reinterpret_cast<library_handle>(module);
}

}  // namespace

std::string module_folder() { return calling_module_folder(); }

const char* shared_library_pattern() { return "*.dll"; }

std::vector<std::string> library_file_names(const std::string& name) { return {name}; }

library_handle load_library(const std::string& name) {
  std::string errors;
  if (name.find_first_of("/\\") != std::string::npos) {
    if (auto* handle = try_open(name, errors)) return handle;
  } else {
    for (const auto& folder : {calling_module_folder(), program_folder()}) {
      const std::string path = join_path(folder, name);
      if (folder.empty() || !file_exists(path)) continue;
      if (auto* handle = try_open(path, errors)) return handle;
    }
    if (auto* handle = try_open(name, errors)) return handle;
  }
  last_library_error = errors;
  return nullptr;
}

void* find_symbol(library_handle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void* find_process_symbol(const char* symbol) {
  if (symbol == nullptr) return nullptr;
  // The program first, as the dynamic linker's global scope would be searched.
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), symbol));
}

void unload_library(library_handle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::string library_error() { return last_library_error; }

}  // namespace platform
