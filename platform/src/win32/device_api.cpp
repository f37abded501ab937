// The real Windows calls behind the SetupAPI provider.
#include "device_api.h"

namespace platform::win32 {
namespace {

class system_device_api : public device_api {
 public:
  HDEVINFO class_devices(const GUID& interface_class) override {
    return SetupDiGetClassDevsA(&interface_class, nullptr, nullptr,
                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  }

  DWORD enum_interface(HDEVINFO list, const GUID& interface_class, DWORD index,
                       SP_DEVICE_INTERFACE_DATA& data) override {
    return SetupDiEnumDeviceInterfaces(list, nullptr, &interface_class, index, &data)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  DWORD interface_detail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& data,
                         SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size,
                         DWORD& required) override {
    return SetupDiGetDeviceInterfaceDetailA(list, &data, detail, size, &required, nullptr)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  void destroy_list(HDEVINFO list) override { SetupDiDestroyDeviceInfoList(list); }

  HANDLE open(const std::string& path, DWORD& error) override {
    // Read and write, shared read/write, an existing device, overlapped and unbuffered.
    const HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, nullptr);
    error = device == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    return device;
  }

  void close(HANDLE device) override { CloseHandle(device); }

  DWORD control(HANDLE device, DWORD code, void* in, DWORD in_length, void* out,
                DWORD out_capacity, DWORD& returned, OVERLAPPED& request) override {
    return DeviceIoControl(device, code, in, in_length, out, out_capacity, &returned, &request)
               ? ERROR_SUCCESS
               : GetLastError();
  }

  bool wait(OVERLAPPED& request, DWORD timeout_ms) override {
    return WaitForSingleObject(request.hEvent, timeout_ms) == WAIT_OBJECT_0;
  }

  void cancel(HANDLE device, OVERLAPPED& request) override { CancelIoEx(device, &request); }

  DWORD result(HANDLE device, OVERLAPPED& request, DWORD& returned) override {
    return GetOverlappedResult(device, &request, &returned, TRUE) ? ERROR_SUCCESS : GetLastError();
  }
};

}  // namespace

std::shared_ptr<device_api> make_system_device_api() { return std::make_shared<system_device_api>(); }

}  // namespace platform::win32
