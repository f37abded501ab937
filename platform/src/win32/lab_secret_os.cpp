// The system's random source and owner-only files on Windows.
#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "error_text.h"
#include "platform/lab_secret.h"

namespace platform {

bool random_bytes(void* data, std::size_t size, std::string* error) {
  auto* bytes = static_cast<UCHAR*>(data);
  while (size > 0) {
    const ULONG chunk = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
    const NTSTATUS status = BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
      if (error) *error = "the system's random source failed (NTSTATUS " + std::to_string(static_cast<unsigned long>(status)) + ")";
      return false;
    }
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

// Windows has no file modes: the file gets the access list of its folder, which the lab
// keeps private to its user.
bool write_private_file(const std::string& path, const std::string& content, std::string* error) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (error) *error = path + ": " + detail::windows_error_text(GetLastError());
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                  written == content.size();
  const DWORD code = GetLastError();
  CloseHandle(file);
  if (!ok) {
    if (error) *error = path + ": " + detail::windows_error_text(code);
    DeleteFileA(path.c_str());
  }
  return ok;
}

}  // namespace platform
