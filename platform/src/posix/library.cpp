// Shared libraries on POSIX through dlopen.
#include "platform/library.h"

#include <dlfcn.h>

#include "platform/fs.h"
#include "platform/process.h"

namespace platform {
namespace {

thread_local std::string last_library_error;

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind(native_separator);
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The folder of the module that holds this code (the library that links the platform layer).
std::string calling_module_folder() {
  Dl_info info {};
  if (dladdr(reinterpret_cast<void*>(&calling_module_folder), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  return folder_of(info.dli_fname);
}

bool ends_with_ignoring_case(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         wildcard_match(suffix, std::string_view(text).substr(text.size() - suffix.size()));
}

}  // namespace

std::string module_folder() { return calling_module_folder(); }

const char* shared_library_pattern() { return "lib*.so"; }

std::vector<std::string> library_file_names(const std::string& name) {
  std::vector<std::string> names{name};
  if (ends_with_ignoring_case(name, ".dll")) {
    const std::string stem = name.substr(0, name.size() - 4);
    names.push_back("lib" + stem + ".so");
    names.push_back(stem + ".so");
  }
  return names;
}

library_handle load_library(const std::string& name) {
  const std::string native = native_path(name);
  std::string errors;
  const auto try_open = [&](const std::string& path) -> library_handle {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      if (!errors.empty()) errors += "; ";
      errors += why ? why : path;
    }
    return handle;
  };

  if (native.find(native_separator) != std::string::npos) {
    const std::string folder = folder_of(native);
    for (const auto& file : library_file_names(native.substr(folder.size() + 1))) {
      if (auto* handle = try_open(join_path(folder, file))) return handle;
    }
  } else {
    const std::string folders[] = {calling_module_folder(), program_folder()};
    for (const auto& file : library_file_names(native)) {
      for (const auto& folder : folders) {
        if (folder.empty() || !can_open_for_reading(join_path(folder, file))) continue;
        if (auto* handle = try_open(join_path(folder, file))) return handle;
      }
      if (auto* handle = try_open(file)) return handle;
    }
  }
  last_library_error = errors;
  return nullptr;
}

void* find_symbol(library_handle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) return nullptr;
  return dlsym(library, symbol);
}

void* find_process_symbol(const char* symbol) {
  return symbol == nullptr ? nullptr : dlsym(RTLD_DEFAULT, symbol);
}

void unload_library(library_handle library) {
  if (library != nullptr) dlclose(library);
}

std::string library_error() { return last_library_error; }

}  // namespace platform
