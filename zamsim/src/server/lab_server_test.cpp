// Request dispatch of the lab daemon: error codes for bad requests, driver handles.
#include "server/lab_server_fixture.h"

#include <gtest/gtest.h>

#include "base/lattix_hierarchy.h"
#include "platform/lab_client.h"
#include "platform/lab_protocol.h"

#include <stdlib.h>

#include <filesystem>
#include <thread>

namespace zamsim {
namespace {

namespace lab = platform::lab;

class LabServerTest : public lab_testing::BootedLabTest {
 protected:
  uint32_t call(lab::operation op, uint32_t handle, uint32_t code, const std::string& in, uint32_t capacity,
                std::vector<uint8_t>& out) {
    return server_->handle(static_cast<uint32_t>(op), handle, code, std::vector<uint8_t>(in.begin(), in.end()),
                           capacity, out);
  }
};

TEST_F(LabServerTest, ListsOpensControlsAndClosesInterfaces) {
  std::vector<uint8_t> out;
  ASSERT_EQ(call(lab::operation::list_interfaces, 0, 0, platform::driver_class::zam_card.to_string(), 4096, out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "lab:zam-0\n");  // no known endpoint in this station
  ASSERT_EQ(call(lab::operation::list_interfaces, 0, 0, platform::driver_class::known_endpoint.to_string(), 4096, out), 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(call(lab::operation::list_interfaces, 0, 0, "{not-a-guid}", 4096, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::open, 0, 0, "lab:kep-0", 4, out), platform::error::file_not_found);
  ASSERT_EQ(call(lab::operation::open, 0, 0, "lab:zam-0", 4, out), 0u);
  ASSERT_EQ(out.size(), 4u);
  const uint32_t handle = lab::get_le32(out.data());

  // Card query: port type 5 with the ZAM bit, the card's BDF, port word 1 = bus behind it.
  ASSERT_EQ(call(lab::operation::control, handle, 0x222400, "", 44, out), 0u);
  ASSERT_EQ(out.size(), 44u);
  EXPECT_EQ(lab::get_le32(out.data()), 1u);               // bus
  EXPECT_EQ(lab::get_le32(out.data() + 12), 0x4Au);       // flags
  EXPECT_EQ(lab::get_le32(out.data() + 32), 2u);          // port word 1
  EXPECT_EQ(call(lab::operation::control, handle, 0x222400, "", 43, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::control, handle, 0x999998, "", 44, out), platform::error::invalid_function);
  // A code whose data buffer goes to the driver must carry that buffer after its input.
  EXPECT_EQ(call(lab::operation::control, handle, 0x999999, "", 44, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::control, handle + 1, 0x222400, "", 44, out), platform::error::invalid_handle);
  EXPECT_EQ(call(lab::operation::close, handle, 0, "", 0, out), 0u);
  EXPECT_EQ(call(lab::operation::close, handle, 0, "", 0, out), platform::error::invalid_handle);
}

TEST_F(LabServerTest, PromptsAndDialogsCheckTheirLengths) {
  std::vector<uint8_t> out;
  std::string prompt(8, '\0');
  lab::put_le32(reinterpret_cast<uint8_t*>(prompt.data()), 1);       // OK/Cancel
  lab::put_le32(reinterpret_cast<uint8_t*>(prompt.data()) + 4, 3);   // caption length
  ASSERT_EQ(call(lab::operation::prompt, 0, 0, prompt + "capText", 4, out), 0u);
  EXPECT_EQ(lab::get_le32(out.data()), 1u);  // OK
  lab::put_le32(reinterpret_cast<uint8_t*>(prompt.data()) + 4, 100);  // caption longer than the input
  EXPECT_EQ(call(lab::operation::prompt, 0, 0, prompt + "cap", 4, out), platform::error::invalid_parameter);
  lab::put_le32(reinterpret_cast<uint8_t*>(prompt.data()), 9);        // no such button set
  lab::put_le32(reinterpret_cast<uint8_t*>(prompt.data()) + 4, 0);
  EXPECT_EQ(call(lab::operation::prompt, 0, 0, prompt, 4, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::dialog, 0, 0, "short", 64, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::show, 0, 0, "", 10, out), platform::error::insufficient_buffer);
  EXPECT_EQ(out.size(), 10u);  // as much as fits
  EXPECT_EQ(call(lab::operation::status, 0, 0, "", 4096, out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 11), "zamsim pid ");
  EXPECT_EQ(call(static_cast<lab::operation>(42), 0, 0, "", 0, out), platform::error::invalid_function);
}

// The card's controller answers to its device name in any case ("EZUSB-0" as the tools'
// usage texts spell it); other numbers and names are not there.
TEST_F(LabServerTest, CardControllerNameIgnoresCase) {
  struct case_t {
    const char* name;
    uint32_t status;
  };
  const case_t cases[] = {{"ezusb-0", 0u},
                          {"EZUSB-0", 0u},
                          {"EzUsb-0", 0u},
                          {"ezusb-1", platform::error::file_not_found},
                          {"EZUSB-", platform::error::file_not_found},
                          {"EZUSB_0", platform::error::file_not_found},
                          {"EZUSB-0x", platform::error::file_not_found}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> out;
    ASSERT_EQ(call(lab::operation::open, 0, 0, c.name, 4, out), c.status);
    if (c.status != 0) continue;
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(call(lab::operation::close, lab::get_le32(out.data()), 0, "", 0, out), 0u);
  }
}

// The card's USB device through the dispatch: vendor writes carry their data buffer, bulk
// traffic is injected and collected, a power cycle goes through the lab operation.
TEST_F(LabServerTest, CardUsbDeviceThroughTheDispatch) {
  std::vector<uint8_t> out;
  ASSERT_EQ(call(lab::operation::open, 0, 0, "ezusb-0", 4, out), 0u);
  const uint32_t handle = lab::get_le32(out.data());
  // Vendor write of xdata 0x1000 (record, then the 3 data bytes), then the read back.
  const std::string write_record("\x00\x02\x00\x00\xA3\x00\x00\x10\x00\x00", 10);
  EXPECT_EQ(call(lab::operation::control, handle, 0x222059, write_record + "abc", 3, out), 0u);
  const std::string read_record("\x01\x02\x00\x00\xA3\x00\x00\x10\x00\x00", 10);
  EXPECT_EQ(call(lab::operation::control, handle, 0x222059, read_record + "xxx", 3, out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abc");
  // The data buffer missing: what is left of the record is too short, and the transfer stalls.
  EXPECT_EQ(call(lab::operation::control, handle, 0x222059, read_record, 3, out), platform::error::gen_failure);
  EXPECT_EQ(call(lab::operation::control, handle, 0x222059, "", 3, out), platform::error::invalid_parameter);

  // Topology mode after a power cycle; a request injected for pipe 1 is read there.
  station_->card().set_next_boot_mode(mode_topology);
  EXPECT_EQ(call(lab::operation::power_cycle_card, 0, 0, "", 64, out), 0u);
  EXPECT_EQ(station_->card().mode(), mode_topology);
  EXPECT_EQ(call(lab::operation::inject_request, 0, 0, std::string(12, '\x04'), 0, out), 0u);
  const std::string pipe1("\x01\x00\x00\x00", 4), pipe0("\x00\x00\x00\x00", 4);
  EXPECT_EQ(server_->handle(static_cast<uint32_t>(lab::operation::control), handle, 0x22204E,
                            std::vector<uint8_t>(pipe1.begin(), pipe1.end()), 64, out, 10),
            0u);
  EXPECT_EQ(out, std::vector<uint8_t>(12, 4));
  EXPECT_EQ(server_->handle(static_cast<uint32_t>(lab::operation::control), handle, 0x22204E,
                            std::vector<uint8_t>(pipe1.begin(), pipe1.end()), 64, out, 10),
            platform::error::timeout);
  EXPECT_EQ(call(lab::operation::control, handle, 0x222051, pipe0 + "completion12", 12, out), 0u);
  EXPECT_EQ(call(lab::operation::take_completions, 0, 0, "", 1024, out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), std::string("\x0C\x00\x00\x00", 4) + "completion12");
  EXPECT_NE(station_->describe().find("usb: mode 1 (FPGA mode register 0x04, next-boot value 2)"), std::string::npos)
      << station_->describe();

  // A FLASH fault: the factory topology image's header byte 'Z' at 0x410000 inverted, seen
  // by a FLASH read through the driver; an offset past the 8 MiB or a short input refused.
  std::string offset(4, '\0');
  lab::put_le32(reinterpret_cast<uint8_t*>(offset.data()), 0x410000);
  ASSERT_EQ(call(lab::operation::flip_flash_byte, 0, 0, offset, 256, out), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "FLASH byte 0x410000 flipped: 0x5A -> 0xA5\n");
  const std::string flash_read("\x01\x02\x00\x00\xAB\x00\x00\x00\x41\x00", 10);
  ASSERT_EQ(call(lab::operation::control, handle, 0x222059, flash_read + "xx", 2, out), 0u);
  EXPECT_EQ(out, (std::vector<uint8_t>{0xA5, 'A'}));
  lab::put_le32(reinterpret_cast<uint8_t*>(offset.data()), 8u << 20);
  EXPECT_EQ(call(lab::operation::flip_flash_byte, 0, 0, offset, 256, out), platform::error::invalid_parameter);
  EXPECT_EQ(call(lab::operation::flip_flash_byte, 0, 0, "\x01", 256, out), platform::error::invalid_parameter);
}

// Over a real socket: a client that leaves while its bulk read waits frees the read, and
// the request injected afterwards goes to the next client.
TEST_F(LabServerTest, AClientLeavingDuringAWaitingBulkReadLosesNothing) {
  ZAMSIM_SKIP_WITHOUT_LOCAL_SOCKETS();
  station_->card().set_next_boot_mode(mode_topology);
  station_->usb().power_cycle();
  const std::string folder = platform::make_temp_folder("lab_server_");
  ASSERT_FALSE(folder.empty());
  const std::string socket = folder + "/s.sock";
  std::string error;
  ASSERT_TRUE(server_->listen(socket, error)) << error;
  std::thread serving([this] { server_->serve(); });
  {
    platform::lab_client leaving(socket);
    std::vector<uint8_t> out(4);
    uint32_t returned = 0;
    ASSERT_EQ(leaving.call(lab::operation::open, 0, 0, "ezusb-0", 7, out.data(), 4, returned, 1000), 0u);
    // A raw frame for a bulk read that would wait a minute; then the client goes away.
    platform::stream_connection raw = platform::connect_local(socket);
    ASSERT_TRUE(raw.valid());
    const auto head = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::control),
                                                      lab::get_le32(out.data()), 0x22204E, 4, 64, 60000});
    const uint8_t pipe[4] = {1, 0, 0, 0};
    ASSERT_EQ(raw.write_all(head.data(), head.size(), 1000), platform::io_status::ok);
    ASSERT_EQ(raw.write_all(pipe, 4, 1000), platform::io_status::ok);
    while (station_->describe().find("bulk: 0 request(s) queued, 1 read(s) waiting") == std::string::npos) std::this_thread::yield();
    raw.close();
    while (station_->describe().find("bulk: 0 request(s) queued, 0 read(s) waiting") == std::string::npos) std::this_thread::yield();
  }
  platform::lab_client next(socket);
  std::vector<uint8_t> out(64);
  uint32_t returned = 0;
  ASSERT_EQ(next.call(lab::operation::open, 0, 0, "ezusb-0", 7, out.data(), 4, returned, 1000), 0u);
  const uint32_t handle = lab::get_le32(out.data());
  const std::vector<uint8_t> request(12, 9);
  ASSERT_EQ(next.call(lab::operation::inject_request, 0, 0, request.data(), 12, nullptr, 0, returned, 1000), 0u);
  const uint8_t pipe[4] = {1, 0, 0, 0};
  ASSERT_EQ(next.call(lab::operation::control, handle, 0x22204E, pipe, 4, out.data(), 64, returned, 1000), 0u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + returned), request);
  server_->request_stop();
  serving.join();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace zamsim
