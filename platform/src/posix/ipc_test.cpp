// Local sockets and the lab client: framing, time-outs, a peer that dies, private folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/clock.h"
#include "platform/devio.h"
#include "platform/ipc.h"
#include "platform/lab_client.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

class IpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::make_temp_folder("ipc_test_");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/lab.sock";
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string folder_, socket_;
};

TEST_F(IpcTest, ListenerIsPrivateAndReplacesDeadSocket) {
  struct stat info {};
  ASSERT_EQ(::stat(folder_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(platform::make_private_folder(folder_));
  ::chmod(folder_.c_str(), 0755);
  EXPECT_FALSE(platform::make_private_folder(folder_));
  ::chmod(folder_.c_str(), 0700);

  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(socket_));
  ASSERT_EQ(::stat(socket_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  platform::stream_listener second;
  std::string error;
  EXPECT_FALSE(second.listen(socket_, &error));
  EXPECT_NE(error.find("in use"), std::string::npos);
  EXPECT_TRUE(listener.accept(10).valid());   // the probe of the second listener
  EXPECT_FALSE(listener.accept(10).valid());  // nobody else came: time-out
  listener.close();
  EXPECT_FALSE(fs::exists(socket_));
  EXPECT_FALSE(platform::connect_local(socket_).valid());
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

TEST(ProcessTest, RunProgramPassesEnvironmentAndExitCode) {
  std::string error;
  EXPECT_EQ(platform::run_program({"sh", "-c", "test \"$ZAM_X\" = hello && exit 7"}, {{"ZAM_X", "hello"}}, &error), 7);
  EXPECT_EQ(platform::run_program({"sh", "-c", "kill -9 $$"}, {}, &error), 128 + 9);
  EXPECT_EQ(platform::run_program({"/no/such/program"}, {}, &error), -1);
  EXPECT_NE(error.find("/no/such/program"), std::string::npos);
}

}  // namespace
