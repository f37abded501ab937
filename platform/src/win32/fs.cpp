// Files and folders on Windows: the current folder, attributes, reading, deletion, links, listing.
#include <windows.h>

#include "../fs_native.h"
#include "error_text.h"
#include "platform/fs.h"

namespace platform {
namespace detail {

bool delete_file_native(const std::string& path, std::string& reason) {
  if (DeleteFileA(path.c_str())) return true;
  reason = windows_error_text(GetLastError());
  return false;
}

}  // namespace detail

namespace {

bool is_folder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whether two paths name one file (hard links of it, say): same volume, same file index.
bool same_file(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION info[2] = {};
  const std::string* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const HANDLE file = CreateFileA(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool read = GetFileInformationByHandle(file, &info[i]) != 0;
    CloseHandle(file);
    if (!read) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t unix_epoch_in_filetime = 116444736000000000ULL;

}  // namespace

std::string current_directory() {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return ".";
  std::string buffer(needed, '\0');
  const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
  buffer.resize(length);
  // A drive root ("C:\") keeps its separator; other folders have none at the end.
  if (buffer.size() > 3 && (buffer.back() == '\\' || buffer.back() == '/')) buffer.pop_back();
  return buffer;
}

bool create_folders(const std::string& path) {
  if (path.empty()) return false;
  if (is_folder(GetFileAttributesA(path.c_str()))) return true;
  const std::size_t parent_end = path.find_last_of("/\\", path.size() - 2);
  if (parent_end != std::string::npos && parent_end > 0 && path[parent_end - 1] != ':' &&
      !create_folders(path.substr(0, parent_end))) {
    return false;
  }
  CreateDirectoryA(path.c_str(), nullptr);
  return is_folder(GetFileAttributesA(path.c_str()));
}

bool file_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool file_size_and_time(const std::string& path, uint64_t& size, int64_t& modified) {
  WIN32_FILE_ATTRIBUTE_DATA data {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  modified = static_cast<int64_t>((ticks - unix_epoch_in_filetime) / 10000000ULL);
  return true;
}

bool can_open_for_reading(const std::string& path) {
  if (is_folder(GetFileAttributesA(path.c_str()))) return false;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool read_file(const std::string& path, std::string* content, std::string* reason) {
  content->clear();
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  char chunk[65536];
  while (error == 0) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      error = GetLastError();
    } else if (got == 0) {
      break;
    } else {
      content->append(chunk, got);
    }
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (error != 0 && reason != nullptr) *reason = detail::windows_error_text(error);
  return error == 0;
}

// A hard link needs no privilege, unlike a symbolic link; a copy serves across volumes (and
// on file systems without hard links).
bool link_file(const std::string& target, const std::string& link, std::string* reason) {
  // A link made before is kept: it may not be deletable now, as when the file is a library
  // some program has loaded (Windows refuses to delete a mapped image under any of its names).
  if (same_file(target, link)) return true;
  if (file_exists(link) && !DeleteFileA(link.c_str())) {
    if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
    return false;
  }
  if (CreateHardLinkA(link.c_str(), target.c_str(), nullptr)) return true;
  if (CopyFileA(target.c_str(), link.c_str(), TRUE)) return true;
  if (reason != nullptr) *reason = detail::windows_error_text(GetLastError());
  return false;
}

bool try_list_folder(const std::string& folder, std::string_view pattern,
                     std::vector<std::string>* names, std::string* reason) {
  names->clear();
  const std::string base = folder.empty() ? std::string(".") : folder;
  if (!is_folder(GetFileAttributesA(base.c_str()))) {
    const DWORD attributes = GetFileAttributesA(base.c_str());
    if (reason != nullptr) {
      *reason = detail::windows_error_text(attributes == INVALID_FILE_ATTRIBUTES
                                               ? GetLastError()
                                               : static_cast<DWORD>(ERROR_DIRECTORY));
    }
    return false;
  }
  WIN32_FIND_DATAA entry {};
  const HANDLE search = FindFirstFileA(join_path(base, "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    if (reason != nullptr) *reason = detail::windows_error_text(error);
    return false;
  }
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        wildcard_match(pattern, entry.cFileName)) {
      names->push_back(entry.cFileName);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return true;
}

}  // namespace platform
