// The Windows calls the SetupAPI provider makes, behind an interface so that unit tests can
// stand a fake SetupAPI and driver in for the real ones.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <memory>
#include <string>

#include "platform/devio.h"

namespace platform::win32 {

class device_api {
 public:
  virtual ~device_api() = default;

  // SetupDiGetClassDevs for the present interfaces of a class; INVALID_HANDLE_VALUE on failure.
  virtual HDEVINFO class_devices(const GUID& interface_class) = 0;
  // SetupDiEnumDeviceInterfaces: ERROR_SUCCESS or the error (ERROR_NO_MORE_ITEMS at the end).
  virtual DWORD enum_interface(HDEVINFO list, const GUID& interface_class, DWORD index,
                               SP_DEVICE_INTERFACE_DATA& data) = 0;
  // SetupDiGetDeviceInterfaceDetail: ERROR_SUCCESS, or ERROR_INSUFFICIENT_BUFFER with
  // `required` set, or another error.
  virtual DWORD interface_detail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& data,
                                 SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size,
                                 DWORD& required) = 0;
  virtual void destroy_list(HDEVINFO list) = 0;

  // CreateFile of an existing device for overlapped, unbuffered requests, reading and
  // writing, shared read/write; INVALID_HANDLE_VALUE with `error` set on failure.
  virtual HANDLE open(const std::string& path, DWORD& error) = 0;
  virtual void close(HANDLE device) = 0;
  // DeviceIoControl with an OVERLAPPED and its event: ERROR_SUCCESS (done at once; the
  // count then comes from `result`), ERROR_IO_PENDING or the error.
  virtual DWORD control(HANDLE device, DWORD code, void* in, DWORD in_length, void* out,
                        DWORD out_capacity, DWORD& returned, OVERLAPPED& request) = 0;
  // Waits up to timeout_ms for a pending request; true when it has completed.
  virtual bool wait(OVERLAPPED& request, DWORD timeout_ms) = 0;
  // CancelIoEx for one request.
  virtual void cancel(HANDLE device, OVERLAPPED& request) = 0;
  // GetOverlappedResult, waiting for the end: ERROR_SUCCESS or how the request ended.
  virtual DWORD result(HANDLE device, OVERLAPPED& request, DWORD& returned) = 0;
};

// The real SetupAPI, CreateFile and DeviceIoControl.
std::shared_ptr<device_api> make_system_device_api();

// The provider of the driver classes found through SetupAPI and of the `ezusb-N` names
// (opened as \\.\ezusb-N).
std::shared_ptr<device_provider> make_setupapi_provider(std::shared_ptr<device_api> api);

GUID to_windows_guid(const guid& g);

}  // namespace platform::win32
