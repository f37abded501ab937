// How the real device layer opens a device, seen on a file the test makes: read and write
// access, shared read/write with other openers, only an existing one, overlapped and
// unbuffered, as the system itself reports the handle.
#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <filesystem>
#include <string>

#include "device_api.h"
#include "platform/fs.h"
#include "platform/process.h"

extern "C" NTSTATUS NTAPI NtQueryInformationFile(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

namespace {

constexpr ULONG file_mode_information = 16;  // FileModeInformation
constexpr ULONG no_intermediate_buffering = 0x08;
constexpr ULONG synchronous_io_alert = 0x10;
constexpr ULONG synchronous_io_nonalert = 0x20;

// The handle's mode as the system keeps it; ~0 when it cannot say.
ULONG mode_of(HANDLE handle) {
  IO_STATUS_BLOCK io{};
  ULONG mode = 0;
  const NTSTATUS status = NtQueryInformationFile(handle, &io, &mode, sizeof mode,
                                                 static_cast<FILE_INFORMATION_CLASS>(file_mode_information));
  return status == 0 ? mode : ~0UL;
}

// Opens the path again with this access and sharing; the error, or ERROR_SUCCESS.
DWORD second_open(const std::string& path, DWORD access, DWORD share) {
  const HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(h);
  return ERROR_SUCCESS;
}

TEST(SystemDeviceOpenTest, ReadWriteSharedExistingOverlappedUnbuffered) {
  const std::string folder = platform::make_temp_folder("device_open_");
  ASSERT_FALSE(folder.empty());
  const std::string device = platform::join_path(folder, "device");
  const HANDLE made = CreateFileA(device.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  CloseHandle(made);

  const auto api = platform::win32::make_system_device_api();
  DWORD error = 1;
  const HANDLE handle = api->open(device, error);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << error;
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
  // Unbuffered, and neither kind of synchronous I/O: overlapped.
  const ULONG mode = mode_of(handle);
  EXPECT_EQ(mode & (no_intermediate_buffering | synchronous_io_alert | synchronous_io_nonalert),
            no_intermediate_buffering)
      << std::hex << mode;
  // Others may read and write it meanwhile; one that shares no writing cannot open it, as
  // this handle writes; nor one that shares no reading, as it reads.
  EXPECT_EQ(second_open(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(second_open(device, GENERIC_READ, FILE_SHARE_READ), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(second_open(device, GENERIC_READ, FILE_SHARE_WRITE), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  api->close(handle);

  // Only an existing device: a missing one is not made.
  const std::string missing = platform::join_path(folder, "missing");
  EXPECT_EQ(api->open(missing, error), INVALID_HANDLE_VALUE);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(platform::file_exists(missing));
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
