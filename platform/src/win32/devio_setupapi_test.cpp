// The SetupAPI provider against a fake SetupAPI and driver: listing, opening, and the
// completed, timed-out and aborted endings of overlapped requests.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "device_api.h"

namespace {

using platform::win32::device_api;

// A fake SetupAPI and driver. Interfaces are listed per class; a request either completes
// at once, stays pending until waited for (completing or not within the wait) or ends aborted.
class fake_device_api : public device_api {
 public:
  enum class ending { at_once, pending_completes, pending_never, aborted, fails };

  std::map<std::string, std::vector<std::string>> paths_by_class;  // class text -> paths
  std::map<std::string, DWORD> open_errors;
  ending next_ending = ending::at_once;
  std::vector<uint8_t> reply = {1, 2, 3, 4};
  DWORD waited_ms = 0;
  int cancels = 0;
  int opens = 0;
  int closes = 0;
  int lists_destroyed = 0;
  std::string last_opened;
  DWORD last_code = 0;
  std::vector<DWORD> detail_cb_sizes;
  int requests_without_event = 0;

  HDEVINFO class_devices(const GUID& interface_class) override {
    current_ = &paths_by_class[text_of(interface_class)];
    return reinterpret_cast<HDEVINFO>(current_);
  }
  DWORD enum_interface(HDEVINFO list, const GUID&, DWORD index, SP_DEVICE_INTERFACE_DATA& data) override {
    const auto* paths = reinterpret_cast<std::vector<std::string>*>(list);
    if (data.cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return ERROR_INVALID_USER_BUFFER;
    if (index >= paths->size()) return ERROR_NO_MORE_ITEMS;
    data.Reserved = index;
    return ERROR_SUCCESS;
  }
  DWORD interface_detail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& data,
                         SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size, DWORD& required) override {
    const auto& path = (*reinterpret_cast<std::vector<std::string>*>(list))[data.Reserved];
    required = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (detail == nullptr || size < required) return ERROR_INSUFFICIENT_BUFFER;
    detail_cb_sizes.push_back(detail->cbSize);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return ERROR_INVALID_USER_BUFFER;
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return ERROR_SUCCESS;
  }
  void destroy_list(HDEVINFO) override { ++lists_destroyed; }

  HANDLE open(const std::string& path, DWORD& error) override {
    last_opened = path;
    if (open_errors.count(path)) {
      error = open_errors[path];
      return INVALID_HANDLE_VALUE;
    }
    ++opens;
    error = ERROR_SUCCESS;
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x100 + opens));
  }
  void close(HANDLE) override { ++closes; }

  DWORD control(HANDLE, DWORD code, void*, DWORD, void* out, DWORD out_capacity, DWORD& returned,
                OVERLAPPED& request) override {
    last_code = code;
    out_ = static_cast<uint8_t*>(out);
    capacity_ = out_capacity;
    if (request.hEvent == nullptr) ++requests_without_event;
    switch (next_ending) {
      // On an overlapped handle the call's own count means nothing; the request has it.
      case ending::at_once: delivered_ = deliver(); returned = 0xDEAD; return ERROR_SUCCESS;
      case ending::fails: return ERROR_GEN_FAILURE;
      default: return ERROR_IO_PENDING;
    }
  }
  bool wait(OVERLAPPED&, DWORD timeout_ms) override {
    waited_ms = timeout_ms;
    return next_ending == ending::pending_completes || next_ending == ending::aborted;
  }
  void cancel(HANDLE, OVERLAPPED&) override { ++cancels; }
  DWORD result(HANDLE, OVERLAPPED&, DWORD& returned) override {
    returned = 0;
    if (next_ending == ending::at_once) {
      returned = delivered_;
      return ERROR_SUCCESS;
    }
    if (next_ending == ending::pending_completes) {
      returned = deliver();
      return ERROR_SUCCESS;
    }
    // A cancelled or device-aborted request ends aborted, nothing delivered.
    return ERROR_OPERATION_ABORTED;
  }

  static std::string text_of(const GUID& g) {
    platform::guid ours;
    ours.data1 = g.Data1;
    ours.data2 = g.Data2;
    ours.data3 = g.Data3;
    std::memcpy(ours.data4, g.Data4, 8);
    return ours.to_string();
  }

 private:
  DWORD deliver() {
    const DWORD n = std::min<DWORD>(capacity_, static_cast<DWORD>(reply.size()));
    std::memcpy(out_, reply.data(), n);
    return n;
  }
  std::vector<std::string>* current_ = nullptr;
  uint8_t* out_ = nullptr;
  DWORD capacity_ = 0;
  DWORD delivered_ = 0;
};

class SetupApiProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    api_ = std::make_shared<fake_device_api>();
    provider_ = platform::win32::make_setupapi_provider(api_);
  }
  std::unique_ptr<platform::device_channel> open(const std::string& path) {
    uint32_t error = 0;
    auto channel = provider_->open(path, error);
    EXPECT_NE(channel, nullptr) << path << " error " << error;
    return channel;
  }
  std::shared_ptr<fake_device_api> api_;
  std::shared_ptr<platform::device_provider> provider_;
};

TEST_F(SetupApiProviderTest, ListsTheInterfacesOfAClassInIndexOrder) {
  const auto card = platform::driver_class::zam_card;
  api_->paths_by_class[card.to_string()] = {"\\\\?\\pci#ven_1234&dev_0001#0#{card}",
                                             "\\\\?\\pci#ven_1234&dev_0001#1#{card}"};
  EXPECT_EQ(provider_->interfaces(card), api_->paths_by_class[card.to_string()]);
  EXPECT_TRUE(provider_->interfaces(platform::driver_class::farrow_port).empty());
  EXPECT_EQ(api_->lists_destroyed, 2);
  for (DWORD size : api_->detail_cb_sizes) EXPECT_EQ(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
  EXPECT_EQ(api_->detail_cb_sizes.size(), 2u);
}

TEST_F(SetupApiProviderTest, OwnsDevicePathsAndEzusbNames) {
  EXPECT_TRUE(provider_->owns_path("\\\\?\\pci#x#{card}"));
  EXPECT_TRUE(provider_->owns_path("ezusb-0"));
  EXPECT_TRUE(provider_->owns_path("ezusb-12"));
  EXPECT_FALSE(provider_->owns_path("ezusb-"));
  EXPECT_FALSE(provider_->owns_path("ezusb-x"));
  EXPECT_FALSE(provider_->owns_path("card0"));
  auto channel = open("ezusb-3");
  EXPECT_EQ(api_->last_opened, "\\\\.\\ezusb-3");
  channel.reset();
  EXPECT_EQ(api_->closes, 1);
  // The name in any case, as zamdiag's usage spells it; the system ignores the case.
  EXPECT_TRUE(provider_->owns_path("EZUSB-0"));
  EXPECT_TRUE(provider_->owns_path("Ezusb-2"));
  EXPECT_FALSE(provider_->owns_path("EZUSB-X"));
  channel = open("EZUSB-0");
  EXPECT_EQ(api_->last_opened, "\\\\.\\EZUSB-0");
}

TEST_F(SetupApiProviderTest, OpenFailureCarriesTheWindowsError) {
  api_->open_errors["\\\\?\\gone"] = ERROR_FILE_NOT_FOUND;
  uint32_t error = 0;
  EXPECT_EQ(provider_->open("\\\\?\\gone", error), nullptr);
  EXPECT_EQ(error, platform::error::file_not_found);
}

TEST_F(SetupApiProviderTest, RequestsCompleteAtOnceOrAfterWaiting) {
  auto channel = open("\\\\?\\dev");
  uint8_t out[8] = {};
  uint32_t returned = 99;
  EXPECT_EQ(channel->control(0x222004, nullptr, 0, out, 2, returned, 100), platform::error::success);
  EXPECT_EQ(returned, 2u);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(api_->last_code, 0x222004u);

  api_->next_ending = fake_device_api::ending::pending_completes;
  EXPECT_EQ(channel->control(0x222008, nullptr, 0, out, sizeof out, returned, 250),
            platform::error::success);
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(api_->waited_ms, 250u);
  EXPECT_EQ(api_->cancels, 0);

  channel->control(0x222008, nullptr, 0, out, sizeof out, returned, platform::infinite_timeout);
  EXPECT_EQ(api_->waited_ms, INFINITE);
  // Every request went with an event of its own to wait on.
  EXPECT_EQ(api_->requests_without_event, 0);
}

TEST_F(SetupApiProviderTest, TimedOutRequestIsCancelledAndReportedAsTimeout) {
  auto channel = open("\\\\?\\dev");
  api_->next_ending = fake_device_api::ending::pending_never;
  uint8_t out[8] = {};
  uint32_t returned = 99;
  EXPECT_EQ(channel->control(0x22204E, nullptr, 0, out, sizeof out, returned, 10),
            platform::error::timeout);
  EXPECT_EQ(api_->cancels, 1);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(out[0], 0) << "nothing delivered after a time-out";
}

TEST_F(SetupApiProviderTest, RequestAbortedByTheDeviceIsNotATimeout) {
  auto channel = open("\\\\?\\dev");
  api_->next_ending = fake_device_api::ending::aborted;
  uint8_t out[8] = {};
  uint32_t returned = 0;
  EXPECT_EQ(channel->control(0x22204E, nullptr, 0, out, sizeof out, returned, 1000),
            platform::error::operation_aborted);
  EXPECT_EQ(api_->cancels, 0);

  api_->next_ending = fake_device_api::ending::fails;
  EXPECT_EQ(channel->control(0x22204E, nullptr, 0, out, sizeof out, returned, 1000),
            platform::error::gen_failure);
}

TEST(WindowsGuidTest, ConvertsFieldByField) {
  const GUID g = platform::win32::to_windows_guid(platform::driver_class::config_space);
  EXPECT_EQ(g.Data1, 0x83972628u);
  EXPECT_EQ(g.Data2, 0x020A);
  EXPECT_EQ(g.Data3, 0x4B3D);
  EXPECT_EQ(g.Data4[0], 0xA6);
  EXPECT_EQ(g.Data4[7], 0x70);
}

}  // namespace
