// Local sockets and the lab client on every system: framing, time-outs, a peer that closes or
// dies, a shut-down connection, listeners and folders.
#include "platform/ipc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/devio.h"
#include "platform/lab_client.h"
#include "platform/process.h"
#ifdef _WIN32
#include "wine_sockets.h"
#endif

namespace {

namespace fs = std::filesystem;

class IpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (const std::string reason = platform::test::wine_without_local_sockets(); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
#endif
    folder_ = platform::make_temp_folder("ipc_test_");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/lab.sock";
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  std::string folder_, socket_;
};

// What needs no socket: private folders, paths a socket cannot have, a path nobody listens on.
TEST(IpcPathTest, FoldersAndPathsAreCheckedBeforeAnySocket) {
  const std::string folder = platform::make_temp_folder("ipc_path_");
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(platform::make_private_folder(folder));  // exists already: checked, kept
  const std::string inner = folder + "/lab";
  EXPECT_TRUE(platform::make_private_folder(inner));
  EXPECT_TRUE(fs::is_directory(inner));
  const std::string file = folder + "/plain.txt";
  { std::ofstream(file) << "not a folder"; }
  std::string error;
  EXPECT_FALSE(platform::make_private_folder(file, &error));
  EXPECT_NE(error.find(file), std::string::npos) << error;
  EXPECT_FALSE(platform::make_private_folder(folder + "/missing/lab", &error));
  EXPECT_NE(error.find(folder + "/missing/lab"), std::string::npos) << error;

  const std::string too_long(108, 'x');
  EXPECT_FALSE(platform::connect_local(too_long, &error).valid());
  EXPECT_EQ(error, "socket path empty or longer than 107 bytes: " + too_long);
  platform::stream_listener listener;
  EXPECT_FALSE(listener.listen("", &error));
  EXPECT_EQ(error, "socket path empty or longer than 107 bytes: ");
  EXPECT_FALSE(listener.valid());
  EXPECT_FALSE(listener.accept(10).valid());

  // Nobody listens: a reason, never a hang.
  EXPECT_FALSE(platform::connect_local(folder + "/none.sock", &error).valid());
  EXPECT_FALSE(error.empty());
  platform::stream_connection nothing;
  EXPECT_TRUE(nothing.peer_closed());
  EXPECT_EQ(nothing.write_all("x", 1, 10), platform::io_status::failed);
  fs::remove_all(folder);
}

TEST(LabClientTest, ARequestWaitThatIsNotANumberFallsBackToItsDefaultWithAWarning) {
  struct wait_case {
    const char* value;
    uint32_t ms;
    bool warned;
  };
  for (const wait_case& c : {wait_case{"2500", 2500, false}, wait_case{"soon", 10000, true},
                             wait_case{"0", 10000, true}, wait_case{"99999999999", 10000, true},
                             wait_case{"25ms", 10000, true}, wait_case{"", 10000, false}}) {
    platform::set_environment("ZAMSIM_TIMEOUT_MS", c.value);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(platform::lab_client::default_wait_ms(), c.ms) << c.value;
    const std::string warning = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(warning, c.warned ? std::string("zam: ZAMSIM_TIMEOUT_MS=\"") + c.value +
                                      "\" is not a usable value; using 10000 (milliseconds, 1 to 4294967294)\n"
                                : "")
        << c.value;
  }
  platform::unset_environment("ZAMSIM_TIMEOUT_MS");
}

TEST_F(IpcTest, ListenerRefusesABusyPathAndRemovesItsSocket) {
  const std::string file = folder_ + "/plain.txt";
  { std::ofstream(file) << "not a socket"; }
  std::string error;
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_, &error)) << error;
  EXPECT_EQ(listener.path(), socket_);
  platform::stream_listener second;
  EXPECT_FALSE(second.listen(socket_, &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
  EXPECT_TRUE(listener.accept(1000).valid());  // the probe of the second listener
  EXPECT_FALSE(listener.accept(10).valid());   // nobody else came: time-out
  EXPECT_FALSE(second.listen(file, &error));   // an ordinary file is never replaced
  EXPECT_NE(error.find("not a socket"), std::string::npos) << error;
  EXPECT_TRUE(fs::exists(file));
  listener.close();
  EXPECT_FALSE(fs::exists(socket_));
  EXPECT_FALSE(platform::connect_local(socket_, &error).valid());
  EXPECT_EQ(error.rfind(socket_ + ": ", 0), 0u) << error;
}

TEST_F(IpcTest, BytesCrossBothWaysAndAClosedPeerIsSeen) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  platform::stream_connection client = platform::connect_local(socket_);
  ASSERT_TRUE(client.valid());
  platform::stream_connection server = listener.accept(1000);
  ASSERT_TRUE(server.valid());
  EXPECT_FALSE(client.peer_closed());
  EXPECT_FALSE(server.peer_closed());

  // More than a socket buffer holds, so that writes wait for the reader.
  std::string sent(1 << 20, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 251);
  std::thread writer([&] { EXPECT_EQ(client.write_all(sent.data(), sent.size(), 5000), platform::io_status::ok); });
  std::string received(sent.size(), '\0');
  EXPECT_EQ(server.read_exact(received.data(), received.size(), 5000), platform::io_status::ok);
  writer.join();
  EXPECT_TRUE(received == sent);

  // Nothing more comes: a read times out after about the time asked for.
  char byte = 0;
  const uint32_t before = platform::tick_ms();
  EXPECT_EQ(server.read_exact(&byte, 1, 200), platform::io_status::timed_out);
  EXPECT_GE(platform::tick_ms() - before, 150u);

  // Half a frame, then the peer closes: the read ends `closed`, and the close is seen
  // without waiting.
  EXPECT_EQ(client.write_all("ab", 2, 1000), platform::io_status::ok);
  client.close();
  EXPECT_FALSE(client.valid());
  char four[4];
  EXPECT_EQ(server.read_exact(four, sizeof four, 1000), platform::io_status::closed);
  EXPECT_TRUE(server.peer_closed());
  EXPECT_EQ(client.write_all("x", 1, 10), platform::io_status::failed);
  EXPECT_EQ(client.read_exact(four, 1, 10), platform::io_status::failed);
}

TEST_F(IpcTest, ReadSomeTakesWhatHasArrivedWaitsOnlyForTheFirstByteAndSeesTheClose) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  platform::stream_connection client = platform::connect_local(socket_);
  platform::stream_connection server = listener.accept(1000);
  ASSERT_TRUE(server.valid());
  char buffer[16];
  std::size_t got = 99;

  // Nothing there: a time-out, and nothing counted.
  EXPECT_EQ(server.read_some(buffer, sizeof buffer, got, 100), platform::io_status::timed_out);
  EXPECT_EQ(got, 0u);
  // Three bytes there, sixteen asked for: the three, at once.
  ASSERT_EQ(client.write_all("abc", 3, 1000), platform::io_status::ok);
  EXPECT_EQ(server.read_some(buffer, sizeof buffer, got, 1000), platform::io_status::ok);
  ASSERT_EQ(got, 3u);
  EXPECT_EQ(std::string(buffer, got), "abc");
  // More there than asked for: only what was asked, the rest left for the next read.
  ASSERT_EQ(client.write_all("0123456789", 10, 1000), platform::io_status::ok);
  EXPECT_EQ(server.read_some(buffer, 4, got, 1000), platform::io_status::ok);
  EXPECT_EQ(std::string(buffer, got), "0123");
  EXPECT_EQ(server.read_some(buffer, sizeof buffer, got, 1000), platform::io_status::ok);
  EXPECT_EQ(std::string(buffer, got), "456789");
  // The peer gone: closed, nothing counted; a closed connection fails.
  client.close();
  EXPECT_EQ(server.read_some(buffer, sizeof buffer, got, 1000), platform::io_status::closed);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(client.read_some(buffer, sizeof buffer, got, 10), platform::io_status::failed);
}

TEST_F(IpcTest, ShutdownWakesABlockedReader) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  platform::stream_connection client = platform::connect_local(socket_);
  platform::stream_connection server = listener.accept(1000);
  ASSERT_TRUE(server.valid());
  platform::io_status result = platform::io_status::ok;
  const uint32_t before = platform::tick_ms();
  std::thread reader([&] {
    char byte = 0;
    result = client.read_exact(&byte, 1, 5000);
  });
  platform::sleep_ms(100);
  client.shutdown();
  reader.join();
  EXPECT_EQ(result, platform::io_status::closed);
  EXPECT_LT(platform::tick_ms() - before, 4000u);
  // The peer sees the end too.
  char byte = 0;
  EXPECT_EQ(server.read_exact(&byte, 1, 1000), platform::io_status::closed);
}

TEST_F(IpcTest, LabClientRoundTripAndDeadDaemon) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  // A one-shot daemon: answers the first request by echoing its input reversed, then dies.
  std::thread daemon([&] {
    auto client = listener.accept(5000);
    ASSERT_TRUE(client.valid());
    uint8_t head[platform::lab::request_header_size];
    ASSERT_EQ(client.read_exact(head, sizeof head, 5000), platform::io_status::ok);
    const auto request = platform::lab::decode_request(head);
    EXPECT_EQ(request.magic, platform::lab::magic);
    EXPECT_EQ(request.operation, 3u);
    EXPECT_EQ(request.handle, 7u);
    EXPECT_EQ(request.code, 0x222000u);
    EXPECT_EQ(request.timeout_ms, 250u);
    std::string input(request.input_length, '\0');
    ASSERT_EQ(client.read_exact(input.data(), input.size(), 5000), platform::io_status::ok);
    std::string output(input.rbegin(), input.rend());
    const auto answer = platform::lab::encode(platform::lab::answer_header{0, static_cast<uint32_t>(output.size())});
    client.write_all(answer.data(), answer.size(), 5000);
    client.write_all(output.data(), output.size(), 5000);
    client.close();
  });
  platform::lab_client client(socket_);
  char out[16] = {};
  uint32_t returned = 0;
  EXPECT_EQ(client.call(platform::lab::operation::control, 7, 0x222000, "abc", 3, out, sizeof out, returned, 250), 0u);
  EXPECT_EQ(returned, 3u);
  EXPECT_EQ(std::string(out, 3), "cba");
  daemon.join();
  listener.close();
  // The daemon is gone: this call and every later one fail at once, never hang.
  const uint32_t before = platform::tick_ms();
  EXPECT_EQ(client.call(platform::lab::operation::control, 7, 0, "x", 1, out, sizeof out, returned, platform::infinite_timeout),
            platform::error::device_not_connected);
  EXPECT_EQ(client.call(platform::lab::operation::status, 0, 0, nullptr, 0, out, sizeof out, returned, 100),
            platform::error::device_not_connected);
  EXPECT_LT(platform::tick_ms() - before, 1000u);
}

TEST_F(IpcTest, SilentDaemonTimesOut) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  platform::lab_client client(socket_);
  std::thread daemon([&] {
    auto held = listener.accept(5000);  // accepts, never answers
    platform::sleep_ms(1800);
  });
  uint32_t returned = 0;
  const uint32_t before = platform::tick_ms();
  EXPECT_EQ(client.call(platform::lab::operation::status, 0, 0, nullptr, 0, nullptr, 0, returned, 100),
            platform::error::device_not_connected);
  const uint32_t spent = platform::tick_ms() - before;
  EXPECT_GE(spent, 1000u);
  EXPECT_LT(spent, 1700u);
  daemon.join();
}

}  // namespace
