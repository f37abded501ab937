// The usb provider: EZ-USB driver requests mapped onto control and bulk transfers of a
// stand-in for the USB calls, and the message when no card is attached.
#include <gtest/gtest.h>

#include <sstream>

#include "usb_provider.h"

namespace {

using platform::usb::device_ids;

// One USB call as the stand-in saw it.
struct usb_call {
  std::string kind;  // "control" or "bulk"
  uint8_t request_type = 0, request = 0;
  uint16_t value = 0, index = 0;
  uint8_t endpoint = 0;
  std::vector<uint8_t> data;  // bytes sent, or the capacity offered for a read
  unsigned timeout_ms = 0;
  bool operator==(const usb_call&) const = default;
};

struct stand_in_state {
  std::vector<usb_call> calls;
  std::vector<uint8_t> answer = {0x11, 0x22, 0x33};
  int fail_with = 0;
  std::vector<uint8_t> endpoints = {0x02, 0x86};  // pipe 0 out, pipe 1 in
  device_ids opened_ids;
  unsigned opened_index = 99;
  bool attached = true;
};

class stand_in_link : public platform::usb::device_link {
 public:
  explicit stand_in_link(std::shared_ptr<stand_in_state> state) : state_(std::move(state)) {}
  int control(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
              uint8_t* data, uint16_t length, unsigned timeout_ms) override {
    usb_call call{"control", request_type, request, value, index, 0, {}, timeout_ms};
    return serve(call, (request_type & 0x80) != 0, data, length);
  }
  int bulk(uint8_t endpoint, uint8_t* data, int length, unsigned timeout_ms) override {
    usb_call call{"bulk", 0, 0, 0, 0, endpoint, {}, timeout_ms};
    return serve(call, (endpoint & 0x80) != 0, data, length);
  }
  std::vector<uint8_t> bulk_endpoints() override { return state_->endpoints; }

 private:
  int serve(usb_call call, bool read, uint8_t* data, int length) {
    if (read) {
      call.data.assign(static_cast<std::size_t>(length), 0);
    } else {
      call.data.assign(data, data + length);
    }
    state_->calls.push_back(call);
    if (state_->fail_with != 0) return state_->fail_with;
    if (!read) return length;
    const int n = std::min<int>(length, static_cast<int>(state_->answer.size()));
    std::copy_n(state_->answer.begin(), n, data);
    return n;
  }
  std::shared_ptr<stand_in_state> state_;
};

class stand_in_backend : public platform::usb::backend {
 public:
  explicit stand_in_backend(std::shared_ptr<stand_in_state> state) : state_(std::move(state)) {}
  std::unique_ptr<platform::usb::device_link> open(device_ids ids, unsigned index,
                                                   std::string& problem) override {
    state_->opened_ids = ids;
    state_->opened_index = index;
    if (!state_->attached) {
      problem = "none attached";
      return nullptr;
    }
    return std::make_unique<stand_in_link>(state_);
  }

 private:
  std::shared_ptr<stand_in_state> state_;
};

class UsbProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    provider_ = platform::usb::make_provider(std::make_shared<stand_in_backend>(state_),
                                             device_ids{0x1234, 0xABCD}, messages_);
    platform::register_provider(provider_);
  }
  void TearDown() override { platform::clear_registered_providers(); }

  std::shared_ptr<stand_in_state> state_ = std::make_shared<stand_in_state>();
  std::ostringstream messages_;
  std::shared_ptr<platform::device_provider> provider_;
};

TEST_F(UsbProviderTest, OwnsOnlyCardNamesAndOpensTheNumberedController) {
  EXPECT_TRUE(provider_->owns_path("ezusb-0"));
  EXPECT_TRUE(provider_->owns_path("ezusb-12"));
  EXPECT_FALSE(provider_->owns_path("ezusb-"));
  EXPECT_FALSE(provider_->owns_path("ezusb-1x"));
  EXPECT_FALSE(provider_->owns_path("lab:card"));
  EXPECT_FALSE(provider_->owns_path("ezusb-1234"));
  EXPECT_FALSE(provider_->serves(platform::driver_class::zam_card));
  // The name in any case, as the tools' usage texts spell it ("EZUSB-0").
  for (const auto& [name, number] : {std::pair{"EZUSB-0", 0u}, {"EzUsb-7", 7u}, {"ezusb-12", 12u}}) {
    SCOPED_TRACE(name);
    const auto opened = platform::open_device(name);
    ASSERT_NE(opened, platform::invalid_handle);
    EXPECT_EQ(state_->opened_index, number);
    platform::close_device(opened);
  }

  const auto handle = platform::open_device("ezusb-2");
  ASSERT_NE(handle, platform::invalid_handle);
  EXPECT_EQ(state_->opened_index, 2u);
  EXPECT_EQ(state_->opened_ids.vendor, 0x1234);
  EXPECT_EQ(state_->opened_ids.product, 0xABCD);
  platform::close_device(handle);
  EXPECT_EQ(messages_.str(), "");

  state_->attached = false;
  EXPECT_EQ(platform::open_device("ezusb-0"), platform::invalid_handle);
  EXPECT_EQ(platform::last_error(), platform::error::file_not_found);
  EXPECT_EQ(messages_.str(),
            "usb: no card attached for ezusb-0: looked for USB device 1234:abcd number 0 (none "
            "attached); set ZAM_USB_ID=vvvv:pppp to look for another controller\n");
}

TEST_F(UsbProviderTest, VendorResetAndRamRequestsBecomeControlTransfers) {
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  uint32_t returned = 0;

  // Read 4 bytes with request 0xA3 at 0x1234D800: direction in, vendor, device.
  const uint8_t read_record[] = {1, 2, 0, 0, 0xA3, 0, 0x00, 0xD8, 0x34, 0x12};
  uint8_t out[4] = {};
  ASSERT_TRUE(platform::device_control(handle, 0x222059, read_record, 10, out, 4, &returned, 500));
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(out[2], 0x33);

  // Write two bytes with request 0xAD at 0x53: the data buffer is sent.
  const uint8_t write_record[] = {0, 2, 0, 0, 0xAD, 0, 0x53, 0x00, 0x00, 0x00};
  uint8_t i2c_bytes[] = {0xF8, 0xFF};
  ASSERT_TRUE(platform::device_control(handle, 0x222059, write_record, 10, i2c_bytes, 2, &returned));

  // Hold the CPU in reset: request 0xA0 at 0xE600, one byte 1.
  const uint8_t reset_record[] = {0xA0, 0, 0x00, 0xE6, 0, 0, 1, 0, 0, 1};
  ASSERT_TRUE(platform::device_control(handle, 0x222014, reset_record, 10, nullptr, 0, &returned, 0));

  // Three bytes into RAM at 0x0100.
  const uint8_t ram[] = {0x00, 0x01};
  uint8_t code[] = {0x02, 0x75, 0x81};
  ASSERT_TRUE(platform::device_control(handle, 0x22206D, ram, 2, code, 3, &returned));

  const std::vector<usb_call> expected = {
      {"control", 0xC0, 0xA3, 0xD800, 0x1234, 0, {0, 0, 0, 0}, 500},
      {"control", 0x40, 0xAD, 0x0053, 0x0000, 0, {0xF8, 0xFF}, 0},
      {"control", 0x40, 0xA0, 0xE600, 0x0000, 0, {0x01}, 1},
      {"control", 0x40, 0xA0, 0x0100, 0x0000, 0, {0x02, 0x75, 0x81}, 0},
  };
  EXPECT_EQ(state_->calls, expected);

  // Short records are refused before anything reaches the device.
  EXPECT_FALSE(platform::device_control(handle, 0x222059, read_record, 9, out, 4, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_parameter);
  EXPECT_FALSE(platform::device_control(handle, 0x222014, reset_record, 9, nullptr, 0, &returned));
  EXPECT_FALSE(platform::device_control(handle, 0x22206D, ram, 1, code, 3, &returned));
  std::vector<uint8_t> too_long(0x10000);
  EXPECT_FALSE(platform::device_control(handle, 0x222059, write_record, 10, too_long.data(), 0x10000, &returned));
  EXPECT_FALSE(platform::device_control(handle, 0x222000, ram, 2, nullptr, 0, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_function);
  EXPECT_EQ(state_->calls.size(), expected.size());
  platform::close_device(handle);
}

TEST_F(UsbProviderTest, PipesMapOntoBulkEndpointsAndErrorsKeepTheirMeaning) {
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  uint32_t returned = 0;
  const uint8_t pipe1[] = {1, 0, 0, 0};
  uint8_t out[16] = {};
  ASSERT_TRUE(platform::device_control(handle, 0x22204E, pipe1, 4, out, 16, &returned, 250));
  EXPECT_EQ(returned, 3u);
  const uint8_t pipe0[] = {0, 0, 0, 0};
  uint8_t completion[] = {0xAA, 0xBB};
  ASSERT_TRUE(platform::device_control(handle, 0x222051, pipe0, 4, completion, 2, &returned));
  EXPECT_EQ(returned, 2u);
  const std::vector<usb_call> expected = {
      {"bulk", 0, 0, 0, 0, 0x86, std::vector<uint8_t>(16, 0), 250},
      {"bulk", 0, 0, 0, 0, 0x02, {0xAA, 0xBB}, 0},
  };
  EXPECT_EQ(state_->calls, expected);

  // A pipe that does not exist, or a read on the out pipe, never reaches the device.
  const uint8_t pipe2[] = {2, 0, 0, 0};
  EXPECT_FALSE(platform::device_control(handle, 0x22204E, pipe2, 4, out, 16, &returned));
  EXPECT_FALSE(platform::device_control(handle, 0x22204E, pipe0, 4, out, 16, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::invalid_parameter);
  EXPECT_EQ(state_->calls.size(), 2u);

  // A time-out, an interrupted transfer and a stall.
  state_->fail_with = platform::usb::result::timeout;
  EXPECT_FALSE(platform::device_control(handle, 0x22204E, pipe1, 4, out, 16, &returned, 10));
  EXPECT_EQ(platform::last_error(), 1460u);
  state_->fail_with = platform::usb::result::interrupted;
  EXPECT_FALSE(platform::device_control(handle, 0x22204E, pipe1, 4, out, 16, &returned));
  EXPECT_EQ(platform::last_error(), 995u);
  state_->fail_with = platform::usb::result::pipe;
  const uint8_t read_record[] = {1, 2, 0, 0, 0xAD, 0, 0x50, 0, 0, 0};
  EXPECT_FALSE(platform::device_control(handle, 0x222059, read_record, 10, out, 1, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::gen_failure);
  EXPECT_EQ(returned, 0u);
  platform::close_device(handle);
}

TEST(UsbDeviceIdsTest, ParsesVendorAndProductInHex) {
  auto ids = platform::usb::parse_device_ids("0547:2131");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->vendor, 0x0547);
  EXPECT_EQ(ids->product, 0x2131);
  ids = platform::usb::parse_device_ids("0x04b4:0X8613");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->product, 0x8613);
  for (const char* bad : {"", "04b4", "04b4:", ":8613", "04b4:86130", "04g4:8613", "04b4-8613"}) {
    EXPECT_FALSE(platform::usb::parse_device_ids(bad)) << bad;
  }
  const device_ids defaults;
  EXPECT_EQ(defaults.vendor, 0x04B4);
  EXPECT_EQ(defaults.product, 0x8613);
}

#ifdef ZAM_HAVE_LIBUSB
// This machine has no card: the real provider says what it looked for.
TEST(UsbLibusbTest, NoCardAttachedNamesWhatItLookedFor) {
  std::ostringstream messages;
  auto provider = platform::usb::make_provider(platform::usb::make_libusb_backend(),
                                               device_ids{}, messages);
  uint32_t error_code = 0;
  EXPECT_EQ(provider->open("ezusb-0", error_code), nullptr);
  EXPECT_EQ(error_code, platform::error::file_not_found);
  const std::string text = messages.str();
  EXPECT_EQ(text.rfind("usb: no card attached for ezusb-0: looked for USB device 04b4:8613 number 0 (", 0), 0u)
      << text;
  EXPECT_NE(text.find("set ZAM_USB_ID=vvvv:pppp"), std::string::npos) << text;
}
#endif

}  // namespace
