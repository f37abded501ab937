// The card over usbredir, against a second libusbredirparser playing the guest's side (as
// QEMU's usb-redir device does): the announcement, descriptors, standard requests, vendor
// requests and bulk pipes on the same controller state the lab protocol reaches.
#include "usb/usbredir_device.h"

#include <gtest/gtest.h>
#include <usbredirparser.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/devio.h"
#include "usb/ezusb_requests.h"

namespace zamsim {
namespace {

struct control_reply {
  usb_redir_control_packet_header header{};
  std::vector<uint8_t> data;
};
struct bulk_reply {
  usb_redir_bulk_packet_header header{};
  std::vector<uint8_t> data;
};

// The guest's side of the connection, wired back to back with the device.
class UsbredirDeviceTest : public ::testing::Test {
 protected:
  UsbredirDeviceTest() {
    guest = usbredirparser_create();
    guest->priv = this;
    guest->log_func = [](void*, int, const char*) {};
    guest->hello_func = [](void*, usb_redir_hello_header*) {};
    guest->read_func = [](void* priv, uint8_t* data, int count) {
      auto* self = static_cast<UsbredirDeviceTest*>(priv);
      const std::size_t n = std::min<std::size_t>(self->reading.size() - self->read_at, static_cast<std::size_t>(count));
      std::memcpy(data, self->reading.data() + self->read_at, n);
      self->read_at += n;
      return static_cast<int>(n);
    };
    guest->write_func = [](void* priv, uint8_t* data, int count) {
      static_cast<UsbredirDeviceTest*>(priv)->to_device.insert(static_cast<UsbredirDeviceTest*>(priv)->to_device.end(),
                                                               data, data + count);
      return count;
    };
    guest->device_connect_func = [](void* priv, usb_redir_device_connect_header* h) {
      static_cast<UsbredirDeviceTest*>(priv)->connect.push_back(*h);
      static_cast<UsbredirDeviceTest*>(priv)->events.push_back("connect");
    };
    guest->device_disconnect_func = [](void* priv) {
      auto* self = static_cast<UsbredirDeviceTest*>(priv);
      self->events.push_back("disconnect");
    };
    guest->interface_info_func = [](void* priv, usb_redir_interface_info_header* h) {
      static_cast<UsbredirDeviceTest*>(priv)->interfaces.push_back(*h);
    };
    guest->ep_info_func = [](void* priv, usb_redir_ep_info_header* h) {
      static_cast<UsbredirDeviceTest*>(priv)->endpoints.push_back(*h);
    };
    guest->configuration_status_func = [](void* priv, uint64_t id, usb_redir_configuration_status_header* h) {
      static_cast<UsbredirDeviceTest*>(priv)->configurations[id] = *h;
    };
    guest->alt_setting_status_func = [](void* priv, uint64_t id, usb_redir_alt_setting_status_header* h) {
      static_cast<UsbredirDeviceTest*>(priv)->alt_settings[id] = *h;
    };
    guest->control_packet_func = [](void* priv, uint64_t id, usb_redir_control_packet_header* h, uint8_t* data,
                                    int length) {
      auto* self = static_cast<UsbredirDeviceTest*>(priv);
      self->controls[id] = {*h, std::vector<uint8_t>(data, data + length)};
      if (data != nullptr) usbredirparser_free_packet_data(self->guest, data);
    };
    guest->bulk_packet_func = [](void* priv, uint64_t id, usb_redir_bulk_packet_header* h, uint8_t* data,
                                 int length) {
      auto* self = static_cast<UsbredirDeviceTest*>(priv);
      self->bulks[id] = {*h, std::vector<uint8_t>(data, data + length)};
      if (data != nullptr) usbredirparser_free_packet_data(self->guest, data);
    };
    uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    for (int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                    usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length}) {
      usbredirparser_caps_set_cap(caps, cap);
    }
    usbredirparser_init(guest, "guest", caps, USB_REDIR_CAPS_SIZE, 0);
    pump();
  }
  ~UsbredirDeviceTest() override {
    device.reset();
    usbredirparser_destroy(guest);
  }

  // Moves bytes both ways until neither side has more to say.
  void pump() {
    for (int round = 0; round < 8; ++round) {
      while (usbredirparser_has_data_to_write(guest)) ASSERT_EQ(usbredirparser_do_write(guest), 0);
      if (!to_device.empty()) {
        std::vector<uint8_t> bytes;
        bytes.swap(to_device);
        ASSERT_TRUE(device->receive(bytes.data(), bytes.size()));
      }
      {
        std::lock_guard lock(from_device_mutex);
        reading.insert(reading.end(), from_device.begin(), from_device.end());
        from_device.clear();
      }
      while (read_at < reading.size()) ASSERT_EQ(usbredirparser_do_read(guest), 0);
      reading.clear();
      read_at = 0;
    }
  }

  control_reply control(uint8_t requesttype, uint8_t request, uint16_t value, uint16_t index, uint16_t length,
                        std::vector<uint8_t> data = {}) {
    usb_redir_control_packet_header h{static_cast<uint8_t>(requesttype & 0x80), request, requesttype, 0, value, index, length};
    if ((requesttype & 0x80) == 0) h.length = static_cast<uint16_t>(data.size());
    const uint64_t id = next_id++;
    usbredirparser_send_control_packet(guest, id, &h, data.empty() ? nullptr : data.data(),
                                       static_cast<int>(data.size()));
    pump();
    EXPECT_EQ(controls.count(id), 1u) << "no answer to request 0x" << std::hex << int{request};
    return controls[id];
  }

  uint64_t send_bulk(uint8_t endpoint, uint32_t length, std::vector<uint8_t> data = {}) {
    usb_redir_bulk_packet_header h{};
    h.endpoint = endpoint;
    h.length = static_cast<uint16_t>(length);
    h.length_high = static_cast<uint16_t>(length >> 16);
    const uint64_t id = next_id++;
    usbredirparser_send_bulk_packet(guest, id, &h, data.empty() ? nullptr : data.data(), static_cast<int>(data.size()));
    pump();
    return id;
  }

  // Waits (the bulk reader answers from its own thread) for the answer to a bulk transfer.
  bool wait_bulk(uint64_t id) {
    for (int i = 0; i < 500 && bulks.count(id) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      pump();
    }
    return bulks.count(id) == 1;
  }

  static inline bool boot_firmware = true;  // a suite of blank cards clears it
  zam_card card{mode_topology, mode_topology};
  usb_card_contents contents{1, 2, 3, 0x1, 0x10, 0x11, true, true, boot_firmware};
  usb_controller usb{card, contents};
  std::mutex from_device_mutex;
  std::vector<uint8_t> from_device;
  // What the device told its owner: waits on pipe 1 about to begin, and leaving the bus.
  std::atomic<int> waits{0}, lefts{0};
  std::unique_ptr<usbredir_device> device = std::make_unique<usbredir_device>(
      usb,
      [this](const uint8_t* d, std::size_t n) {
        std::lock_guard lock(from_device_mutex);
        from_device.insert(from_device.end(), d, d + n);
        return true;
      },
      usb_host_hooks{[this] { ++waits; }, [this] { ++lefts; }});
  usbredirparser* guest = nullptr;
  std::vector<uint8_t> to_device, reading;
  std::size_t read_at = 0;
  uint64_t next_id = 1;
  std::vector<usb_redir_device_connect_header> connect;
  std::vector<std::string> events;
  std::vector<usb_redir_interface_info_header> interfaces;
  std::vector<usb_redir_ep_info_header> endpoints;
  std::map<uint64_t, usb_redir_configuration_status_header> configurations;
  std::map<uint64_t, usb_redir_alt_setting_status_header> alt_settings;
  std::map<uint64_t, control_reply> controls;
  std::map<uint64_t, bulk_reply> bulks;
};

TEST_F(UsbredirDeviceTest, AnnouncesAHighSpeedCardWithOneVendorInterfaceAndItsTwoBulkEndpoints) {
  ASSERT_TRUE(device->connected());
  ASSERT_EQ(connect.size(), 1u);
  EXPECT_EQ(connect[0].speed, usb_redir_speed_high);
  EXPECT_EQ(connect[0].vendor_id, 0x04B4);
  EXPECT_EQ(connect[0].product_id, 0x5A4D);
  EXPECT_EQ(connect[0].device_version_bcd, 0xA001);
  EXPECT_EQ(connect[0].device_class, 0);
  ASSERT_EQ(interfaces.size(), 1u);
  EXPECT_EQ(interfaces[0].interface_count, 1u);
  EXPECT_EQ(interfaces[0].interface[0], 0);
  EXPECT_EQ(interfaces[0].interface_class[0], 0xFF);
  ASSERT_EQ(endpoints.size(), 1u);
  // Slots: OUT endpoints 0..15, IN endpoints 16..31.
  for (int slot = 0; slot < 32; ++slot) {
    const uint8_t want = slot == 0 || slot == 16 ? usb_redir_type_control
                         : slot == 2 || slot == 22 ? usb_redir_type_bulk
                                                   : usb_redir_type_invalid;
    EXPECT_EQ(endpoints[0].type[slot], want) << "slot " << slot;
  }
  EXPECT_EQ(endpoints[0].max_packet_size[0], 64);
  EXPECT_EQ(endpoints[0].max_packet_size[2], 512);
  EXPECT_EQ(endpoints[0].max_packet_size[22], 512);
}

TEST_F(UsbredirDeviceTest, GetDescriptorAnswersExactBytesCutToTheAskedLengthAndStallsUnknownOnes) {
  const std::vector<uint8_t> device_bytes = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0xB4, 0x04, 0x4D, 0x5A, 0x01, 0xA0, 1, 2, 0, 1};
  const std::vector<uint8_t> configuration = {9, 2, 32, 0, 1, 1, 0, 0x80, 50,  9, 4, 0, 0, 2, 0xFF, 0, 0, 0,
                                              7, 5, 0x02, 2, 0x00, 0x02, 0, 7, 5, 0x86, 2, 0x00, 0x02, 0};
  std::vector<uint8_t> product = {54, 3};
  for (char c : std::string("ZAM PCI Express card (lab)")) product.insert(product.end(), {static_cast<uint8_t>(c), 0});
  struct row {
    uint16_t value;
    uint16_t length;
    uint8_t status;
    std::vector<uint8_t> bytes;
  };
  const row rows[] = {
      {0x0100, 64, usb_redir_success, device_bytes},
      {0x0100, 8, usb_redir_success, {device_bytes.begin(), device_bytes.begin() + 8}},
      {0x0200, 255, usb_redir_success, configuration},
      {0x0200, 9, usb_redir_success, {configuration.begin(), configuration.begin() + 9}},
      {0x0600, 10, usb_redir_success, {10, 6, 0x00, 0x02, 0, 0, 0, 64, 1, 0}},
      {0x0300, 255, usb_redir_success, {4, 3, 0x09, 0x04}},
      {0x0301, 255, usb_redir_success, {8, 3, 'Z', 0, 'A', 0, 'M', 0}},
      {0x0302, 255, usb_redir_success, product},
      {0x0303, 255, usb_redir_stall, {}},
      {0x0201, 255, usb_redir_stall, {}},  // one configuration only
      {0x0700, 255, usb_redir_stall, {}},  // no other-speed configuration
  };
  for (const row& r : rows) {
    const control_reply reply = control(0x80, 0x06, r.value, 0, r.length);
    EXPECT_EQ(reply.header.status, r.status) << std::hex << r.value;
    EXPECT_EQ(reply.data, r.bytes) << std::hex << r.value << " length " << std::dec << r.length;
    EXPECT_EQ(reply.header.length, r.bytes.size()) << std::hex << r.value;
  }
}

TEST_F(UsbredirDeviceTest, ConfigurationAndAlternateSettingAcceptOnlyWhatTheDescriptorsOffer) {
  struct row {
    uint8_t configuration;
    uint8_t status;
    uint8_t after;
  };
  for (const row& r : {row{1, usb_redir_success, 1}, row{2, usb_redir_stall, 1}, row{0, usb_redir_success, 0},
                       row{1, usb_redir_success, 1}}) {
    usb_redir_set_configuration_header set{r.configuration};
    const uint64_t id = next_id++;
    usbredirparser_send_set_configuration(guest, id, &set);
    const uint64_t get = next_id++;
    usbredirparser_send_get_configuration(guest, get);
    pump();
    ASSERT_EQ(configurations.count(id), 1u);
    EXPECT_EQ(configurations[id].status, r.status) << int{r.configuration};
    EXPECT_EQ(configurations[get].configuration, r.after) << int{r.configuration};
  }
  struct alt_row {
    uint8_t interface, alt, status;
  };
  for (const alt_row& r : {alt_row{0, 0, usb_redir_success}, alt_row{0, 1, usb_redir_stall},
                           alt_row{1, 0, usb_redir_stall}}) {
    usb_redir_set_alt_setting_header set{r.interface, r.alt};
    const uint64_t id = next_id++;
    usbredirparser_send_set_alt_setting(guest, id, &set);
    pump();
    ASSERT_EQ(alt_settings.count(id), 1u);
    EXPECT_EQ(alt_settings[id].status, r.status) << int{r.interface} << "/" << int{r.alt};
    EXPECT_EQ(alt_settings[id].alt, 0);
  }
}

TEST_F(UsbredirDeviceTest, VendorRequestsReachTheSameControllerStateAsTheLabProtocol) {
  // Firmware version: major, minor, build, flags (DIP valid, FPGA configured, switches).
  control_reply reply = control(0xC0, ezusb::request_version, 0, 0, 4);
  EXPECT_EQ(reply.header.status, usb_redir_success);
  EXPECT_EQ(reply.data, (std::vector<uint8_t>{1, 2, 3, 0xC1}));

  // Written over USB, read over the lab's records, and the other way round.
  reply = control(0x40, ezusb::request_xdata, 0x1234, 0, 0, {0xDE, 0xAD, 0xBE, 0xEF});
  EXPECT_EQ(reply.header.status, usb_redir_success);
  EXPECT_EQ(reply.header.length, 4);
  uint8_t record[10] = {1, 2, 0, 0, ezusb::request_xdata, 0, 0x34, 0x12, 0, 0};
  std::vector<uint8_t> seen(4);
  uint32_t returned = 0;
  ASSERT_EQ(usb.serve(ezusb::ioctl_vendor, record, 10, seen.data(), 4, returned, 0), platform::error::success);
  EXPECT_EQ(seen, (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  record[0] = 0;
  record[6] = 0x00;
  record[7] = 0x20;
  std::vector<uint8_t> lab_bytes = {1, 2, 3};
  ASSERT_EQ(usb.serve(ezusb::ioctl_vendor, record, 10, lab_bytes.data(), 3, returned, 0), platform::error::success);
  reply = control(0xC0, ezusb::request_xdata, 0x2000, 0, 3);
  EXPECT_EQ(reply.data, lab_bytes);

  // The index carries the address's high half (FLASH beyond 64 KiB): the topology image header.
  reply = control(0xC0, ezusb::request_flash, 0x0000, 0x0041, 4);
  EXPECT_EQ(reply.data, (std::vector<uint8_t>{'Z', 'A', 'M', '1'}));

  // Failures stall with no data: an I2C address that NAKs, a read past the end, a transfer
  // longer than the controller takes, an unknown request, a request to the interface.
  struct row {
    uint8_t requesttype, request;
    uint16_t value, index, length;
  };
  for (const row& r : {row{0xC0, ezusb::request_i2c, 0x50, 0, 1}, row{0xC0, ezusb::request_idata, 0xFF, 0, 2},
                       row{0xC0, ezusb::request_xdata, 0, 0, 1025}, row{0xC0, 0x99, 0, 0, 1},
                       row{0xC1, ezusb::request_version, 0, 0, 4}}) {
    reply = control(r.requesttype, r.request, r.value, r.index, r.length);
    EXPECT_EQ(reply.header.status, usb_redir_stall) << std::hex << int{r.request} << " " << r.value;
    EXPECT_TRUE(reply.data.empty());
    EXPECT_EQ(reply.header.length, 0);
  }
  reply = control(0x40, ezusb::request_i2c, 0x50, 0, 0, {0xF8});
  EXPECT_EQ(reply.header.status, usb_redir_stall);
  EXPECT_EQ(reply.header.length, 0);
}

TEST_F(UsbredirDeviceTest, FirmwareLoadRequestHoldsTheCpuAndStoresCode) {
  EXPECT_EQ(control(0x40, ezusb::request_cpu_reset, 0xE600, 0, 0, {1}).header.status, usb_redir_success);
  EXPECT_NE(usb.describe().find("CPU held in reset, 0 bytes of code downloaded"), std::string::npos) << usb.describe();
  EXPECT_EQ(control(0x40, ezusb::request_cpu_reset, 0x0100, 0, 0, {0x02, 0x00, 0x80}).header.status,
            usb_redir_success);
  EXPECT_NE(usb.describe().find("CPU held in reset, 3 bytes of code downloaded"), std::string::npos) << usb.describe();
  EXPECT_EQ(control(0x40, ezusb::request_cpu_reset, 0xE600, 0, 0, {0}).header.status, usb_redir_success);
  EXPECT_NE(usb.describe().find("CPU running, 3 bytes of code downloaded"), std::string::npos) << usb.describe();
  // Code that does not fit below the RAM limit is refused.
  EXPECT_EQ(control(0x40, ezusb::request_cpu_reset, 0x1FFF, 0, 0, {1, 2}).header.status, usb_redir_stall);
}

TEST_F(UsbredirDeviceTest, BulkPipesCarryTheSystemUnderTestsRequestsAndTheHostsCompletions) {
  // A request that waits on EP6 IN is answered once the system under test sends one.
  const uint64_t read = send_bulk(usb_device::endpoint_requests, 512);
  EXPECT_EQ(bulks.count(read), 0u);
  const std::vector<uint8_t> request = {0x04, 0, 0, 1, 0, 0, 0x01, 0x0F, 0, 0x18, 0, 0x10};
  usb.inject_request(request);
  ASSERT_TRUE(wait_bulk(read));
  EXPECT_EQ(bulks[read].header.status, usb_redir_success);
  EXPECT_EQ(bulks[read].header.endpoint, usb_device::endpoint_requests);
  EXPECT_EQ(bulks[read].data, request);

  // A completion on EP2 OUT reaches the controller's pipe 0.
  const std::vector<uint8_t> completion = {0x4A, 0, 0, 1, 0, 0, 0, 4, 0, 0x18, 0, 0, 0x86, 0x80, 0xB4, 0x04};
  const uint64_t write = send_bulk(usb_device::endpoint_completions, 16, completion);
  ASSERT_EQ(bulks.count(write), 1u);
  EXPECT_EQ(bulks[write].header.status, usb_redir_success);
  EXPECT_EQ(bulks[write].header.length, 16);
  auto taken = usb.take_completions();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0], completion);

  // A completion of a whole packet and the zero-length packet that ends it: one completion.
  const std::vector<uint8_t> whole(512, 0x5A);
  const uint64_t whole_write = send_bulk(usb_device::endpoint_completions, 512, whole);
  const uint64_t end_write = send_bulk(usb_device::endpoint_completions, 0);
  ASSERT_EQ(bulks.count(whole_write), 1u);
  ASSERT_EQ(bulks.count(end_write), 1u);
  EXPECT_EQ(bulks[end_write].header.status, usb_redir_success);
  EXPECT_EQ(bulks[end_write].header.length, 0);
  taken = usb.take_completions();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0], whole);

  // A read shorter than the packet waiting: babble, no data.
  usb.inject_request(request);
  const uint64_t short_read = send_bulk(usb_device::endpoint_requests, 8);
  ASSERT_TRUE(wait_bulk(short_read));
  EXPECT_EQ(bulks[short_read].header.status, usb_redir_babble);
  EXPECT_TRUE(bulks[short_read].data.empty());

  // An endpoint the interface does not have stalls.
  const uint64_t unknown = send_bulk(0x04, 4, {1, 2, 3, 4});
  ASSERT_EQ(bulks.count(unknown), 1u);
  EXPECT_EQ(bulks[unknown].header.status, usb_redir_stall);
}

TEST_F(UsbredirDeviceTest, CancelledBulkReadsEndAsCancelledAndLeaveTheRequestForTheNextRead) {
  const uint64_t first = send_bulk(usb_device::endpoint_requests, 512);
  const uint64_t queued = send_bulk(usb_device::endpoint_requests, 512);
  usbredirparser_send_cancel_data_packet(guest, queued);  // still behind the first
  usbredirparser_send_cancel_data_packet(guest, first);   // waiting in the controller
  pump();
  ASSERT_TRUE(wait_bulk(first));
  ASSERT_TRUE(wait_bulk(queued));
  EXPECT_EQ(bulks[first].header.status, usb_redir_cancelled);
  EXPECT_EQ(bulks[queued].header.status, usb_redir_cancelled);
  const std::vector<uint8_t> request = {0x04, 0, 0, 1, 0, 0, 0x01, 0x0F, 0, 0x18, 0, 0x10};
  usb.inject_request(request);
  const uint64_t next = send_bulk(usb_device::endpoint_requests, 512);
  ASSERT_TRUE(wait_bulk(next));
  EXPECT_EQ(bulks[next].data, request);
}

TEST_F(UsbredirDeviceTest, StandardStatusAndClearHaltAreAnsweredOtherStandardRequestsStall) {
  control_reply reply = control(0x80, 0x00, 0, 0, 2);
  EXPECT_EQ(reply.header.status, usb_redir_success);
  EXPECT_EQ(reply.data, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(control(0x02, 0x01, 0, usb_device::endpoint_requests, 0).header.status, usb_redir_success);
  EXPECT_EQ(control(0x00, 0x03, 1, 0, 0).header.status, usb_redir_stall);  // remote wake-up: not offered
}

TEST_F(UsbredirDeviceTest, APowerCycleIsADisconnectAndANewConnectAndEndsTheWaitingRead) {
  device->follow_power_cycles();  // nothing has happened yet
  pump();
  EXPECT_EQ(events, (std::vector<std::string>{"connect"}));
  usb_redir_set_configuration_header set{1};
  usbredirparser_send_set_configuration(guest, next_id++, &set);
  pump();
  const uint64_t waiting = send_bulk(usb_device::endpoint_requests, 512);

  const uint64_t queued = send_bulk(usb_device::endpoint_requests, 512);

  usb.power_cycle();
  device->follow_power_cycles();
  pump();
  ASSERT_TRUE(wait_bulk(waiting));
  ASSERT_TRUE(wait_bulk(queued));
  EXPECT_EQ(bulks[waiting].header.status, usb_redir_cancelled);
  EXPECT_EQ(bulks[queued].header.status, usb_redir_cancelled);
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect", "connect"}));
  ASSERT_EQ(connect.size(), 2u);
  EXPECT_EQ(connect[1].vendor_id, 0x04B4);
  EXPECT_EQ(connect[1].product_id, 0x5A4D);
  EXPECT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(interfaces.size(), 2u);
  // The new device starts unconfigured; a second look finds nothing new.
  const uint64_t get = next_id++;
  usbredirparser_send_get_configuration(guest, get);
  pump();
  EXPECT_EQ(configurations[get].configuration, 0);
  device->follow_power_cycles();
  pump();
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(UsbredirDeviceTest, TellsItsOwnerOfEachWaitOnPipeOneAndOfEachTimeItLeavesTheBus) {
  // Writes on pipe 0 and control requests are no waits for requests.
  send_bulk(usb_device::endpoint_completions, 4, {1, 2, 3, 4});
  control(0x80, 0x00, 0, 0, 2);
  EXPECT_EQ(waits.load(), 0);
  // Each read on pipe 1, before it waits: the owner may power the system that answers it.
  const std::vector<uint8_t> request = {0x04, 0, 0, 1, 0, 0, 0x01, 0x0F, 0, 0x18, 0, 0x10};
  for (int i = 1; i <= 2; ++i) {
    const uint64_t read = send_bulk(usb_device::endpoint_requests, 512);
    for (int tries = 0; tries < 500 && waits.load() < i; ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(waits.load(), i);
    usb.inject_request(request);
    ASSERT_TRUE(wait_bulk(read));
    EXPECT_EQ(bulks[read].data, request);
  }
  // Nothing happened on the bus: no leaving. A power cycle, then new code taking over: one
  // each.
  device->follow_power_cycles();
  EXPECT_EQ(lefts.load(), 0);
  usb.power_cycle();
  device->follow_power_cycles();
  pump();
  EXPECT_EQ(lefts.load(), 1);
  device->follow_power_cycles();
  EXPECT_EQ(lefts.load(), 1);
  control(0x40, 0xA0, 0xE600, 0, 0, {1});
  control(0x40, 0xA0, 0x0100, 0, 0, {0x02, 0x01, 0x00});
  control(0x40, 0xA0, 0xE600, 0, 0, {0});
  device->follow_power_cycles();
  pump();
  EXPECT_EQ(lefts.load(), 2);
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect", "connect", "disconnect", "connect"}));
}

TEST_F(UsbredirDeviceTest, NewCodeTakingOverTheControllerIsANewEnumeration) {
  // Each step: CPU control (1 hold, 0 release) or a RAM download, then whether the device
  // left the bus and came back by then.
  struct step { int cpu; bool download; std::size_t connects; };
  const step steps[] = {
      {1, false, 1}, {0, false, 1},  // held and released with nothing downloaded: it stays
      {-1, true, 1},                 // code into a running CPU: nothing on the bus yet
      {0, false, 1},                 // a release of a CPU not held
      {1, false, 1}, {-1, true, 1}, {-1, true, 1},
      {0, false, 2},                 // the new code runs: disconnect, connect
      {1, false, 2}, {0, false, 2},  // the last download is spent
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const step& s = steps[i];
    if (s.cpu >= 0) {
      EXPECT_EQ(control(0x40, 0xA0, 0xE600, 0, 0, {static_cast<uint8_t>(s.cpu)}).header.status, usb_redir_success);
    } else {
      EXPECT_EQ(control(0x40, 0xA0, 0x0100, 0, 0, {0x02, 0x01, 0x00}).header.status, usb_redir_success);
    }
    device->follow_power_cycles();
    pump();
    EXPECT_EQ(connect.size(), s.connects) << "step " << i;
  }
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect", "connect"}));
  EXPECT_EQ(connect[1].product_id, 0x5A4D);
}

// A card whose controller boots blank: the FX2's IDs until code downloaded and started
// takes over, the card's own after; a power cycle makes it blank again.
class BlankUsbredirDeviceTest : public UsbredirDeviceTest {
 protected:
  static void SetUpTestSuite() { boot_firmware = false; }
  static void TearDownTestSuite() { boot_firmware = true; }
  uint16_t product_in_descriptor() {
    const control_reply reply = control(0x80, 0x06, 0x0100, 0, 18);
    return reply.data.size() == 18 ? static_cast<uint16_t>(reply.data[10] | reply.data[11] << 8) : 0;
  }
};

TEST_F(BlankUsbredirDeviceTest, ShowsTheBlankControllerUntilNewCodeRunsAndAgainAfterAPowerCycle) {
  ASSERT_EQ(connect.size(), 1u);
  EXPECT_EQ(connect[0].product_id, 0x8613);
  EXPECT_EQ(product_in_descriptor(), 0x8613);
  EXPECT_EQ(control(0x40, 0xA0, 0xE600, 0, 0, {1}).header.status, usb_redir_success);
  EXPECT_EQ(control(0x40, 0xA0, 0x0000, 0, 0, {0x02, 0x00, 0x10}).header.status, usb_redir_success);
  EXPECT_EQ(control(0x40, 0xA0, 0xE600, 0, 0, {0}).header.status, usb_redir_success);
  device->follow_power_cycles();
  pump();
  ASSERT_EQ(connect.size(), 2u);
  EXPECT_EQ(connect[1].product_id, 0x5A4D);
  EXPECT_EQ(product_in_descriptor(), 0x5A4D);
  usb.power_cycle();
  device->follow_power_cycles();
  pump();
  ASSERT_EQ(connect.size(), 3u);
  EXPECT_EQ(connect[2].product_id, 0x8613);
  EXPECT_EQ(product_in_descriptor(), 0x8613);
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect", "connect", "disconnect", "connect"}));
}

}  // namespace
}  // namespace zamsim
