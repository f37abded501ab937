// Input files on Windows: only disk files (GetFileType) that are not folders.
#include <windows.h>

#include "error_text.h"
#include "platform/input_file.h"

namespace platform {

bool is_input_file(const std::string& path, std::string* reason) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return true;
  if (reason != nullptr) *reason = "not a regular file";
  return false;
}

bool read_input_file(const std::string& path, std::size_t limit, std::string* content,
                     std::string* reason) {
  content->clear();
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
    return false;
  }
  std::string why;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    why = "not a regular file";
  } else if (((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow) > limit) {
    why = larger_than_text(limit);
  }
  char chunk[65536];
  while (why.empty()) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      why = detail::windows_error_text(GetLastError());
    } else if (got == 0) {
      break;
    } else if (content->size() + got > limit) {
      why = larger_than_text(limit);
    } else {
      content->append(chunk, got);
    }
  }
  CloseHandle(file);
  if (why.empty()) return true;
  content->clear();
  if (reason != nullptr) *reason = why;
  return false;
}

}  // namespace platform
