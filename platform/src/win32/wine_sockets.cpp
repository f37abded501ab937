// Detects wine (ntdll exports wine_get_version) and probes it for AF_UNIX stream sockets.
#include "wine_sockets.h"

#include <winsock2.h>
#include <windows.h>

namespace platform::test {

std::string wine_without_local_sockets() {
  using version_function = const char* (*)();
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto wine_version =
      ntdll ? reinterpret_cast<version_function>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
            : nullptr;
  if (wine_version == nullptr) return {};  // Windows itself: the tests must run
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
  const SOCKET probe = socket(AF_UNIX, SOCK_STREAM, 0);
  const int code = probe == INVALID_SOCKET ? WSAGetLastError() : 0;
  if (probe != INVALID_SOCKET) closesocket(probe);
  WSACleanup();
  if (code != WSAEAFNOSUPPORT) return {};
  return std::string("wine ") + wine_version() +
         " has no AF_UNIX sockets (socket(AF_UNIX, SOCK_STREAM) fails with WSAEAFNOSUPPORT, 10047); "
         "Windows 10 1803 and later have them";
}

}  // namespace platform::test
