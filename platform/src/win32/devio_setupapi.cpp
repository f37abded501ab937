// The SetupAPI provider: interfaces of a class GUID, opened with CreateFile and driven with
// overlapped DeviceIoControl, each request bounded by its time-out.
#include <cctype>
#include <vector>

#include "device_api.h"

namespace platform::win32 {
namespace {

bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// "ezusb-N" in any case: the EZ-USB driver's device names (the system ignores their case).
bool is_ezusb_name(const std::string& path) { return ezusb_device_name(path).has_value(); }

class setupapi_channel : public device_channel {
 public:
  setupapi_channel(std::shared_ptr<device_api> api, HANDLE device)
      : api_(std::move(api)), device_(device) {}
  ~setupapi_channel() override { api_->close(device_); }

  uint32_t control(uint32_t code, const void* in, uint32_t in_length, void* out,
                   uint32_t out_capacity, uint32_t& returned, uint32_t timeout_ms) override {
    returned = 0;
    OVERLAPPED request {};
    request.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (request.hEvent == nullptr) return GetLastError();
    DWORD got = 0;
    DWORD status = api_->control(device_, code, const_cast<void*>(in), in_length, out,
                                 out_capacity, got, request);
    if (status == ERROR_IO_PENDING) {
      const DWORD wait_ms = timeout_ms == infinite_timeout ? INFINITE : timeout_ms;
      const bool completed = api_->wait(request, wait_ms);
      if (!completed) api_->cancel(device_, request);
      // Waits for the end even after a cancel, so nothing arrives late into `out`.
      status = api_->result(device_, request, got);
      if (!completed && status == ERROR_OPERATION_ABORTED) status = error::timeout;
    } else if (status == ERROR_SUCCESS) {
      // Done at once: on an overlapped handle the count is the request's, not the call's.
      status = api_->result(device_, request, got);
    }
    CloseHandle(request.hEvent);
    if (status != ERROR_SUCCESS) return status;
    returned = got;
    return error::success;
  }

 private:
  std::shared_ptr<device_api> api_;
  HANDLE device_;
};

class setupapi_provider : public device_provider {
 public:
  explicit setupapi_provider(std::shared_ptr<device_api> api) : api_(std::move(api)) {}

  std::string name() const override { return "setupapi"; }

  // A class answers here when SetupAPI lists at least one present interface of it.
  bool serves(const guid& interface_class) const override {
    return !const_cast<setupapi_provider*>(this)->interfaces(interface_class).empty();
  }

  std::vector<std::string> interfaces(const guid& interface_class) override {
    std::vector<std::string> paths;
    const GUID windows_class = to_windows_guid(interface_class);
    const HDEVINFO list = api_->class_devices(windows_class);
    if (list == INVALID_HANDLE_VALUE) return paths;
    for (DWORD index = 0;; ++index) {
      SP_DEVICE_INTERFACE_DATA data {};
      data.cbSize = sizeof data;
      if (api_->enum_interface(list, windows_class, index, data) != ERROR_SUCCESS) break;
      if (auto path = detail_path(list, data)) paths.push_back(*path);
    }
    api_->destroy_list(list);
    return paths;
  }

  bool owns_path(const std::string& path) const override {
    return starts_with(path, "\\\\?\\") || starts_with(path, "\\\\.\\") || is_ezusb_name(path);
  }

  std::unique_ptr<device_channel> open(const std::string& path, uint32_t& error_code) override {
    const std::string file = is_ezusb_name(path) ? "\\\\.\\" + path : path;
    DWORD error = ERROR_SUCCESS;
    const HANDLE device = api_->open(file, error);
    if (device == INVALID_HANDLE_VALUE) {
      error_code = error != ERROR_SUCCESS ? error : error::gen_failure;
      return nullptr;
    }
    return std::make_unique<setupapi_channel>(api_, device);
  }

 private:
  // The device path of one interface: asks for the size, then for the detail.
  std::optional<std::string> detail_path(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& data) {
    DWORD required = 0;
    DWORD status = api_->interface_detail(list, data, nullptr, 0, required);
    if (status != ERROR_INSUFFICIENT_BUFFER || required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
      return std::nullopt;
    }
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    status = api_->interface_detail(list, data, detail, required, required);
    if (status != ERROR_SUCCESS) return std::nullopt;
    const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(detail->DevicePath, strnlen(detail->DevicePath, buffer.size() - offset));
  }

  std::shared_ptr<device_api> api_;
};

}  // namespace

GUID to_windows_guid(const guid& g) {
  GUID windows_guid {};
  windows_guid.Data1 = g.data1;
  windows_guid.Data2 = g.data2;
  windows_guid.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) windows_guid.Data4[i] = g.data4[i];
  return windows_guid;
}

std::shared_ptr<device_provider> make_setupapi_provider(std::shared_ptr<device_api> api) {
  return std::make_shared<setupapi_provider>(std::move(api));
}

}  // namespace platform::win32

namespace platform {

std::shared_ptr<device_provider> make_system_provider() {
  return win32::make_setupapi_provider(win32::make_system_device_api());
}

}  // namespace platform
