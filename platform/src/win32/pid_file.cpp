// Pid files on Windows: the owner keeps the file open without sharing writes, so a reader
// that can open it for writing knows its owner has ended.
#include "platform/pid_file.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "error_text.h"

namespace platform {

pid_file::pid_file(std::string path, std::string* reason) : path_(std::move(path)) {
  const HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
    return;
  }
  const std::string text = std::to_string(GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
    CloseHandle(file);
    DeleteFileA(path_.c_str());
    return;
  }
  handle_ = file;
}

pid_file::~pid_file() {
  if (handle_ == invalid) return;
  CloseHandle(handle_);
  DeleteFileA(path_.c_str());
}

int live_pid_file_owner(const std::string& path) {
  const HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {  // nobody holds it: stale
    CloseHandle(probe);
    DeleteFileA(path.c_str());
    return 0;
  }
  if (GetLastError() != ERROR_SHARING_VIOLATION) return 0;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  char text[32] = {};
  DWORD got = 0;
  ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  return std::atoi(text);
}

}  // namespace platform
