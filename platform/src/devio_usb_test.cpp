// The usb provider: EZ-USB driver requests mapped onto control and bulk transfers of a
// stand-in for the USB calls, and the message when no card is attached.
#include <gtest/gtest.h>

#include <sstream>

#include "usb_provider.h"

namespace {

using platform::usb::device_ids;
using platform::usb::endpoint_info;
using platform::usb::open_failure;

// One USB call as the stand-in saw it.
struct usb_call {
  std::string kind;  // "control", "bulk" or "clear_halt"
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
  int clear_fails_with = 0;
  // pipe 0 bulk out, pipe 1 bulk in, both 512-byte packets
  std::vector<endpoint_info> endpoints = {{0x02, 2, 512}, {0x86, 2, 512}};
  device_ids opened_ids;
  unsigned opened_index = 99;
  bool attached = true;
  open_failure failure = open_failure::none_attached;
  std::string failure_detail = "none attached";
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
  std::vector<endpoint_info> endpoints() override { return state_->endpoints; }
  int clear_halt(uint8_t endpoint) override {
    state_->calls.push_back({"clear_halt", 0, 0, 0, 0, endpoint, {}, 0});
    return state_->clear_fails_with;
  }

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
                                                   platform::usb::open_problem& problem) override {
    state_->opened_ids = ids;
    state_->opened_index = index;
    if (!state_->attached) {
      problem = {state_->failure, state_->failure_detail};
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
      {"bulk", 0, 0, 0, 0, 0x86, std::vector<uint8_t>(512, 0), 250},
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

// A bulk request on pipe N: read (capacity) or write (the bytes), its status and count.
struct pipe_result {
  bool ok = false;
  uint32_t error = 0;
  uint32_t returned = 0;
  std::vector<uint8_t> bytes;
};

pipe_result pipe_read(platform::device_handle handle, uint32_t pipe, uint32_t capacity) {
  const uint8_t record[] = {static_cast<uint8_t>(pipe), 0, 0, 0};
  pipe_result r;
  r.bytes.assign(capacity, 0xEE);
  r.ok = platform::device_control(handle, 0x22204E, record, 4, r.bytes.data(), capacity, &r.returned, 100);
  r.error = r.ok ? 0 : platform::last_error();
  r.bytes.resize(r.ok ? r.returned : 0);
  return r;
}

pipe_result pipe_write(platform::device_handle handle, uint32_t pipe, std::vector<uint8_t> bytes) {
  const uint8_t record[] = {static_cast<uint8_t>(pipe), 0, 0, 0};
  pipe_result r;
  r.ok = platform::device_control(handle, 0x222051, record, 4, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                  &r.returned, 100);
  r.error = r.ok ? 0 : platform::last_error();
  return r;
}

TEST_F(UsbProviderTest, PipesAreEveryEndpointOfTheInterfaceInDescriptorOrder) {
  // An interrupt IN endpoint first, then the bulk pair, then an isochronous and a control
  // one: pipe N is the N-th, whatever its type.
  state_->endpoints = {{0x81, 3, 64}, {0x02, 2, 512}, {0x86, 2, 512}, {0x88, 1, 1024}, {0x00, 0, 64}};
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  EXPECT_TRUE(pipe_read(handle, 0, 8).ok);
  EXPECT_TRUE(pipe_write(handle, 1, {0x01}).ok);
  EXPECT_TRUE(pipe_read(handle, 2, 4).ok);
  const std::vector<usb_call> expected = {
      {"bulk", 0, 0, 0, 0, 0x81, std::vector<uint8_t>(64, 0), 100},
      {"bulk", 0, 0, 0, 0, 0x02, {0x01}, 100},
      {"bulk", 0, 0, 0, 0, 0x86, std::vector<uint8_t>(512, 0), 100},
  };
  EXPECT_EQ(state_->calls, expected);
  // Wrong direction, an isochronous or control endpoint, a pipe past the last: refused
  // before the bus.
  struct refused { bool read; uint32_t pipe; };
  for (const refused& r : {refused{false, 0}, refused{true, 1}, refused{true, 3}, refused{true, 4}, refused{true, 5}}) {
    const pipe_result got = r.read ? pipe_read(handle, r.pipe, 4) : pipe_write(handle, r.pipe, {1});
    EXPECT_FALSE(got.ok) << r.pipe;
    EXPECT_EQ(got.error, platform::error::invalid_parameter) << r.pipe;
  }
  EXPECT_EQ(state_->calls.size(), expected.size());
  platform::close_device(handle);
}

TEST_F(UsbProviderTest, BulkReadsAskForWholePacketsAndKeepWhatDidNotFit) {
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  // A 20-byte request read with a 16-byte buffer: the transfer asks for one packet, the
  // caller gets 16 bytes, the next read the other 4 without a transfer.
  state_->answer.resize(20);
  for (std::size_t i = 0; i < 20; ++i) state_->answer[i] = static_cast<uint8_t>(0xA0 + i);
  pipe_result r = pipe_read(handle, 1, 16);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, std::vector<uint8_t>(state_->answer.begin(), state_->answer.begin() + 16));
  r = pipe_read(handle, 1, 16);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0xB0, 0xB1, 0xB2, 0xB3}));
  ASSERT_EQ(state_->calls.size(), 1u);
  EXPECT_EQ(state_->calls[0].data.size(), 512u);

  // The rest given out in pieces smaller than itself, then a new transfer.
  state_->answer.assign(600, 0x5C);
  state_->answer[599] = 0x99;
  r = pipe_read(handle, 1, 513);  // asks for two packets
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.returned, 513u);
  EXPECT_EQ(state_->calls.back().data.size(), 1024u);
  r = pipe_read(handle, 1, 80);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.returned, 80u);
  r = pipe_read(handle, 1, 80);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, (std::vector<uint8_t>{0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x99}));
  EXPECT_EQ(state_->calls.size(), 2u);
  state_->answer = {1, 2, 3, 4};
  r = pipe_read(handle, 1, 4);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(state_->calls.size(), 3u);
  // A zero-byte buffer with nothing kept is refused.
  EXPECT_FALSE(pipe_read(handle, 1, 0).ok);
  EXPECT_EQ(platform::last_error(), platform::error::invalid_parameter);
  platform::close_device(handle);
}

TEST_F(UsbProviderTest, WritesOfWholePacketsEndWithAZeroLengthPacketOnBulkPipes) {
  state_->endpoints = {{0x02, 2, 512}, {0x86, 2, 512}, {0x01, 3, 64}};
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  struct write_case { uint32_t pipe; std::size_t length; std::vector<std::size_t> transfers; };
  const write_case cases[] = {
      {0, 12, {12}},          {0, 511, {511}},          {0, 512, {512, 0}},
      {0, 1024, {1024, 0}},   {0, 513, {513}},          {2, 64, {64}},  // interrupt: no end packet
  };
  for (const write_case& c : cases) {
    state_->calls.clear();
    std::vector<uint8_t> bytes(c.length, 0x3C);
    const pipe_result r = pipe_write(handle, c.pipe, bytes);
    EXPECT_TRUE(r.ok) << c.length;
    EXPECT_EQ(r.returned, c.length);
    std::vector<std::size_t> transfers;
    for (const usb_call& call : state_->calls) transfers.push_back(call.data.size());
    EXPECT_EQ(transfers, c.transfers) << "pipe " << c.pipe << " length " << c.length;
  }
  platform::close_device(handle);
}

TEST_F(UsbProviderTest, AStalledPipeIsClearedBeforeItsNextTransfer) {
  const auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  state_->fail_with = platform::usb::result::pipe;
  pipe_result r = pipe_read(handle, 1, 16);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, platform::error::gen_failure);
  EXPECT_FALSE(pipe_write(handle, 0, {1, 2}).ok);
  state_->fail_with = 0;
  // Each pipe is cleared once, before its own next transfer; a clear that fails leaves
  // the pipe failing and halted.
  state_->calls.clear();
  state_->clear_fails_with = platform::usb::result::no_device;
  r = pipe_read(handle, 1, 16);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, platform::error::device_not_connected);
  state_->clear_fails_with = 0;
  EXPECT_TRUE(pipe_read(handle, 1, 16).ok);
  EXPECT_TRUE(pipe_read(handle, 1, 16).ok);
  EXPECT_TRUE(pipe_write(handle, 0, {1, 2}).ok);
  const std::vector<usb_call> expected = {
      {"clear_halt", 0, 0, 0, 0, 0x86, {}, 0},
      {"clear_halt", 0, 0, 0, 0, 0x86, {}, 0},
      {"bulk", 0, 0, 0, 0, 0x86, std::vector<uint8_t>(512, 0), 100},
      {"bulk", 0, 0, 0, 0, 0x86, std::vector<uint8_t>(512, 0), 100},
      {"clear_halt", 0, 0, 0, 0, 0x02, {}, 0},
      {"bulk", 0, 0, 0, 0, 0x02, {1, 2}, 100},
  };
  EXPECT_EQ(state_->calls, expected);
  platform::close_device(handle);
}

TEST_F(UsbProviderTest, EachReasonAnOpenFailsHasItsOwnMessageAndCode) {
  state_->attached = false;
  struct failure_case { open_failure kind; std::string detail; uint32_t code; std::string message; };
  const failure_case cases[] = {
      {open_failure::none_attached, "2 attached", platform::error::file_not_found,
       "usb: no card attached for ezusb-0: looked for USB device 1234:abcd number 0 (2 attached); set "
       "ZAM_USB_ID=vvvv:pppp to look for another controller\n"},
      {open_failure::access_denied, "cannot open it: Access denied (insufficient permissions)",
       platform::error::access_denied,
       "usb: access denied to the card for ezusb-0: USB device 1234:abcd number 0 (cannot open it: Access "
       "denied (insufficient permissions)); install the udev rule 60-zam-card.rules (it gives the seat's user "
       "and the plugdev group access), then plug the card in again\n"},
      {open_failure::busy, "another program has claimed its interface: Resource busy", platform::error::busy,
       "usb: the card is busy for ezusb-0: USB device 1234:abcd number 0 (another program has claimed its "
       "interface: Resource busy); another program holds it: end that program and try again\n"},
      {open_failure::other, "it has no interface 0", platform::error::gen_failure,
       "usb: cannot open the card for ezusb-0: USB device 1234:abcd number 0 (it has no interface 0)\n"},
  };
  for (const failure_case& c : cases) {
    messages_.str("");
    state_->failure = c.kind;
    state_->failure_detail = c.detail;
    EXPECT_EQ(platform::open_device("ezusb-0"), platform::invalid_handle);
    EXPECT_EQ(platform::last_error(), c.code) << c.detail;
    EXPECT_EQ(messages_.str(), c.message);
  }
}

TEST_F(UsbProviderTest, ACardThatLeavesTheBusFailsTheRequestSaysSoOnceAndOpensAgain) {
  auto handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  state_->fail_with = platform::usb::result::no_device;
  uint32_t returned = 0;
  const uint8_t read_record[] = {1, 2, 0, 0, 0xA1, 0, 0, 0, 0, 0};
  uint8_t out[4] = {};
  EXPECT_FALSE(platform::device_control(handle, 0x222059, read_record, 10, out, 4, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::device_not_connected);
  const pipe_result r = pipe_read(handle, 1, 16);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, platform::error::device_not_connected);
  EXPECT_EQ(messages_.str(),
            "usb: the card of ezusb-0 left the USB bus during a request (a power cycle or a new "
            "enumeration); open ezusb-0 again to reach it\n");
  platform::close_device(handle);
  state_->fail_with = 0;
  handle = platform::open_device("ezusb-0");
  ASSERT_NE(handle, platform::invalid_handle);
  EXPECT_TRUE(platform::device_control(handle, 0x222059, read_record, 10, out, 4, &returned));
  platform::close_device(handle);
}

TEST(UsbBlankControllerTest, CodeGoesIntoABlankControllerOnlyWhenAllowed) {
  const uint8_t reset_record[] = {0xA0, 0, 0x00, 0xE6, 0, 0, 1, 0, 0, 1};
  const uint8_t ram[] = {0x00, 0x01};
  const uint8_t version_record[] = {1, 2, 0, 0, 0xA1, 0, 0, 0, 0, 0};
  struct blank_case { device_ids ids; bool allowed; bool downloads; };
  for (const blank_case& c : {blank_case{platform::usb::blank_controller, false, false},
                              blank_case{platform::usb::blank_controller, true, true},
                              blank_case{platform::usb::card_ids, false, true}}) {
    auto state = std::make_shared<stand_in_state>();
    std::ostringstream messages;
    platform::usb::provider_options options;
    options.allow_blank_download = c.allowed;
    auto provider = platform::usb::make_provider(std::make_shared<stand_in_backend>(state), c.ids, messages, options);
    uint32_t error_code = 0;
    auto channel = provider->open("ezusb-0", error_code);
    ASSERT_NE(channel, nullptr);
    uint32_t returned = 0;
    uint8_t code[] = {0x02, 0x75, 0x81};
    uint8_t out[4] = {};
    const uint32_t reset = channel->control(0x222014, reset_record, 10, nullptr, 0, returned, 100);
    const uint32_t download = channel->control(0x22206D, ram, 2, code, 3, returned, 100);
    const uint32_t twice = channel->control(0x22206D, ram, 2, code, 3, returned, 100);
    // Other requests reach a blank controller as any other.
    EXPECT_EQ(channel->control(0x222059, version_record, 10, out, 4, returned, 100), platform::error::success);
    const uint32_t expected = c.downloads ? platform::error::success : platform::error::access_denied;
    EXPECT_EQ(reset, expected);
    EXPECT_EQ(download, expected);
    EXPECT_EQ(twice, expected);
    EXPECT_EQ(state->calls.size(), c.downloads ? 4u : 1u);
    EXPECT_EQ(messages.str(), c.downloads ? ""
                                          : "usb: ezusb-0 is a blank EZ-USB controller (04b4:8613), which may be "
                                            "any FX2 device on this machine, not the card: no code is downloaded "
                                            "into it; set ZAM_USB_ALLOW_BLANK=1 to do so\n");
  }
}

TEST(UsbDeviceChoiceTest, AlternateSettingAndNumberingOrder) {
  using settings = std::vector<std::vector<endpoint_info>>;
  struct alt_case { settings given; unsigned alt; };
  const alt_case alts[] = {
      {{}, 0},
      {{{{0x02, 2, 512}, {0x86, 2, 512}}}, 0},
      // A blank FX2: setting 0 has zero-size packets, 1 the bulk pipes.
      {{{{0x02, 2, 0}, {0x86, 2, 0}}, {{0x81, 3, 64}, {0x02, 2, 512}, {0x86, 2, 512}}}, 1},
      {{{{0x86, 2, 512}}, {{0x02, 2, 512}}, {{0x01, 3, 64}, {0x81, 3, 64}}}, 0},  // none has both
      {{{}, {{0x02, 2, 512}}, {{0x02, 2, 512}, {0x88, 2, 512}}}, 2},
  };
  for (std::size_t i = 0; i < std::size(alts); ++i) {
    EXPECT_EQ(platform::usb::card_alt_setting(alts[i].given), alts[i].alt) << i;
  }
  // By bus, then by port path from the root; a hub's port path sorts after its own port.
  const std::vector<platform::usb::device_place> places = {
      {2, {1}}, {1, {3}}, {1, {1, 4}}, {1, {1}}, {1, {1, 2}}, {3, {}}, {1, {10}}};
  EXPECT_EQ(platform::usb::numbering_order(places), (std::vector<std::size_t>{3, 4, 2, 1, 6, 0, 5}));
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
  EXPECT_EQ(defaults.product, 0x5A4D);
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
  EXPECT_EQ(text.rfind("usb: no card attached for ezusb-0: looked for USB device 04b4:5a4d number 0 (", 0), 0u)
      << text;
  EXPECT_NE(text.find("set ZAM_USB_ID=vvvv:pppp"), std::string::npos) << text;
}
#endif

}  // namespace
