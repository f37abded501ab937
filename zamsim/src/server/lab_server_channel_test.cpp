// The lab server's shared channels: a busy connection moves to one and gets the same
// answers; a client that lies in its channel is closed while others are served.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "server/lab_server_fixture.h"
#include "base/lattix_hierarchy.h"
#include "platform/lab_client.h"
#include "platform/lab_protocol.h"
#include "platform/process.h"
#include "platform/shared_channel.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;
using platform::io_status;
using platform::shared_channel;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[64];
};

class LabServerChannelTest : public lab_testing::ListeningLabTest {
 protected:
  void SetUp() override {
    if (!shared_channel::supported()) GTEST_SKIP() << "no shared channels on this system";
    ListeningLabTest::SetUp();
  }

  // The DUT's vendor and device IDs and its command register, read through `client`.
  static uint32_t read_dword(platform::lab_client& client, uint32_t handle, uint32_t offset) {
    config_packet p{3, 0, 0, offset, 4, {}};
    uint32_t returned = 0;
    EXPECT_EQ(client.call(lab::operation::control, handle, 0x222000, &p, sizeof p, &p, sizeof p, returned, 5000), 0u);
    EXPECT_EQ(returned, 20u + 4u);  // the packet's five words and the bytes read
    uint32_t value = 0;
    std::memcpy(&value, p.data, 4);
    return value;
  }

  static uint32_t open_config(platform::lab_client& client) {
    const std::string path = "lab:config-0";
    uint8_t handle_bytes[4] = {};
    uint32_t returned = 0;
    EXPECT_EQ(client.call(lab::operation::open, 0, 0, path.data(), static_cast<uint32_t>(path.size()), handle_bytes,
                          4, returned, 5000),
              0u);
    return lab::get_le32(handle_bytes);
  }

};

TEST_F(LabServerChannelTest, ABusyConnectionMovesToTheChannelAndGetsTheSameAnswers) {
  platform::lab_client client(socket_);
  const uint32_t handle = open_config(client);
  EXPECT_FALSE(client.on_shared_channel());  // one request: the socket is enough
  EXPECT_EQ(read_dword(client, handle, 0), 0x0020ABCDu);
  EXPECT_TRUE(client.on_shared_channel());

  // A write, then the register read back through the channel.
  config_packet w{3, 0, 0, 0x04, 2, {}};
  w.data[0] = 0x06;
  uint32_t returned = 0;
  ASSERT_EQ(client.call(lab::operation::control, handle, 0x222004, &w, sizeof w, &w, sizeof w, returned, 5000), 0u);
  EXPECT_EQ(read_dword(client, handle, 0x04) & 0xFFFFu, 0x0006u);

  // An answer too large for the channel travels on the socket, and the channel stays in step.
  std::string status;
  ASSERT_EQ(client.call_text(lab::operation::status, "", status), 0u);
  EXPECT_EQ(status.rfind("zamsim pid ", 0), 0u) << status;
  EXPECT_EQ(read_dword(client, handle, 0), 0x0020ABCDu);
  // Errors come back through the channel as they do on the socket.
  EXPECT_EQ(client.call(lab::operation::control, 999, 0x222000, nullptr, 0, nullptr, 0, returned, 5000),
            platform::error::invalid_handle);

  // ZAMSIM_CHANNEL=socket keeps a connection on its socket, with the same answers.
  platform::set_environment("ZAMSIM_CHANNEL", "socket");
  platform::lab_client on_socket(socket_);
  const uint32_t second = open_config(on_socket);
  EXPECT_EQ(read_dword(on_socket, second, 0), 0x0020ABCDu);
  EXPECT_EQ(read_dword(on_socket, second, 0x04) & 0xFFFFu, 0x0006u);
  EXPECT_FALSE(on_socket.on_shared_channel());
  platform::unset_environment("ZAMSIM_CHANNEL");
}

// A raw client that takes a channel and then does what it likes with it.
struct raw_channel_client {
  platform::stream_connection socket;
  shared_channel channel;

  explicit raw_channel_client(const std::string& path) : socket(platform::connect_local(path)) {
    const auto head = lab::encode(lab::request_header{
        lab::magic, static_cast<uint32_t>(lab::operation::open_shared_channel), 0, 0, 0, 0, 1000});
    EXPECT_EQ(socket.write_all(head.data(), head.size(), 2000), io_status::ok);
    uint8_t answer[lab::answer_header_size];
    EXPECT_EQ(shared_channel::receive_with(socket, answer, sizeof answer, 2000, channel), io_status::ok);
    EXPECT_EQ(lab::decode_answer(answer).error, 0u);
  }

  void write_frame(const lab::request_header& header) {
    const auto head = lab::encode(header);
    std::memcpy(channel.request_area(), head.data(), head.size());
  }

  // Whether the daemon closed this client's socket within two seconds.
  bool closed_by_the_daemon() {
    uint8_t byte = 0;
    return socket.read_exact(&byte, 1, 2000) == io_status::closed;
  }
};

TEST_F(LabServerChannelTest, AClientThatLiesInItsChannelIsClosedAndOthersAreServed) {
  platform::lab_client good(socket_);
  const uint32_t handle = open_config(good);

  {  // A well-formed request through a raw channel is answered in the answer area.
    raw_channel_client raw(socket_);
    ASSERT_TRUE(raw.channel.valid());
    raw.write_frame(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0, 0, 256, 0});
    raw.channel.post_request(shared_channel::request_kind::in_area);
    ASSERT_EQ(raw.channel.wait_answer(2000, {}), io_status::ok);
    const lab::answer_header answer = lab::decode_answer(raw.channel.answer_area());
    EXPECT_EQ(answer.error, 0u);
    ASSERT_GT(answer.returned, 11u);
    ASSERT_LE(answer.returned, 256u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.channel.answer_area()) + 8, 11), "zamsim pid ");
  }
  const lab::request_header lies[] = {
      // input longer than the area holds
      {lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0, shared_channel::area_size, 0, 0},
      // an answer larger than the area could carry
      {lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0, 0, shared_channel::area_size, 0},
      // not a frame at all
      {0x12345678u, static_cast<uint32_t>(lab::operation::status), 0, 0, 0, 16, 0},
      // a second channel asked for inside the first
      {lab::magic, static_cast<uint32_t>(lab::operation::open_shared_channel), 0, 0, 0, 0, 0},
  };
  for (const auto& lie : lies) {
    raw_channel_client raw(socket_);
    ASSERT_TRUE(raw.channel.valid());
    raw.write_frame(lie);
    raw.channel.post_request(shared_channel::request_kind::in_area);
    EXPECT_TRUE(raw.closed_by_the_daemon()) << "input " << lie.input_length << ", capacity " << lie.output_capacity;
    EXPECT_EQ(read_dword(good, handle, 0), 0x0020ABCDu);
  }
  {  // A request kind nobody defined.
    raw_channel_client raw(socket_);
    ASSERT_TRUE(raw.channel.valid());
    raw.channel.post_request(static_cast<shared_channel::request_kind>(7));
    EXPECT_TRUE(raw.closed_by_the_daemon());
  }
  {  // Promised a frame on the socket, then sent half a header and went quiet: the daemon
     // gives up on it after its frame time-out, and serves the good client meanwhile.
    raw_channel_client raw(socket_);
    ASSERT_TRUE(raw.channel.valid());
    raw.channel.post_request(shared_channel::request_kind::on_socket);
    const auto head = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0, 0, 16, 0});
    ASSERT_EQ(raw.socket.write_all(head.data(), 10, 1000), io_status::ok);
    EXPECT_EQ(read_dword(good, handle, 0), 0x0020ABCDu);
  }
  EXPECT_EQ(read_dword(good, handle, 0), 0x0020ABCDu);
  EXPECT_TRUE(good.on_shared_channel());
}

}  // namespace
}  // namespace zamsim
