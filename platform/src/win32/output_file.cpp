// Output files on Windows: a file handle, written without a buffer of our own.
#include <windows.h>

#include "../output_file_native.h"
#include "error_text.h"

namespace platform::detail {

bool open_output_native(const std::string& path, output_mode mode, std::intptr_t& handle,
                        std::string& reason) {
  const bool append = mode == output_mode::append;
  const HANDLE file = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = windows_error_text(GetLastError());
    return false;
  }
  handle = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool write_output_native(std::intptr_t handle, std::string_view bytes, std::string& reason) {
  const HANDLE file = reinterpret_cast<HANDLE>(handle);
  while (!bytes.empty()) {
    const DWORD wanted = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD done = 0;
    if (!WriteFile(file, bytes.data(), wanted, &done, nullptr) || done == 0) {
      reason = windows_error_text(done == 0 && GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError());
      return false;
    }
    bytes.remove_prefix(done);
  }
  return true;
}

bool close_output_native(std::intptr_t handle, std::string& reason) {
  if (CloseHandle(reinterpret_cast<HANDLE>(handle))) return true;
  reason = windows_error_text(GetLastError());
  return false;
}

}  // namespace platform::detail
