// The lab daemon under bad clients: malformed frames, clients that vanish, many at once,
// and a daemon that dies while a client scans.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "lab_fixture.h"
#include "platform/clock.h"
#include "platform/devio.h"
#include "platform/ipc.h"
#include "platform/lab_client.h"
#include "platform/pid_file.h"
#include "platform/process.h"

namespace e2e {
namespace {

namespace lab = platform::lab;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};

class LabRobustness : public LabTest {
 protected:
  // Reads the DUT's IDs through a fresh connection: the daemon still serves others.
  uint32_t dut_id() {
    const auto paths = platform::device_interfaces(platform::driver_class::config_space);
    if (paths.empty()) return 0;
    const auto handle = platform::open_device(paths[0]);
    if (handle == platform::invalid_handle) return 0;
    config_packet p{3, 0, 0, 0, 4, {}};
    uint32_t returned = 0, id = 0;
    if (platform::device_control(handle, 0x222000, &p, sizeof p, &p, sizeof p, &returned)) std::memcpy(&id, p.data, 4);
    platform::close_device(handle);
    return id;
  }

  // Sends raw bytes and reports whether the daemon closed the connection (read gives EOF).
  bool daemon_closes_after(const std::vector<uint8_t>& bytes) {
    auto connection = connect_raw();
    EXPECT_TRUE(connection.valid());
    connection.write_all(bytes.data(), bytes.size(), 1000);
    uint8_t answer[8];
    return connection.read_exact(answer, sizeof answer, 3000) == platform::io_status::closed;
  }

  static std::vector<uint8_t> frame(lab::request_header h) {
    const auto head = lab::encode(h);
    return std::vector<uint8_t>(head.begin(), head.end());
  }
};

// The checks that hold on a local socket and on TCP alike.
class LabRobustnessOnBoth : public LabRobustness, public ::testing::WithParamInterface<lab_transport> {};

INSTANTIATE_TEST_SUITE_P(Transports, LabRobustnessOnBoth, ::testing::Values(lab_transport::local, lab_transport::tcp),
                         transport_name);

TEST_P(LabRobustnessOnBoth, MalformedFramesCloseOnlyThatClient) {
  start_lab("minimal.station", GetParam());
  ASSERT_EQ(dut_id(), 0x0020ABCDu);
  lab::request_header bad_magic{0x12345678, 6, 0, 0, 0, 64, 0};
  EXPECT_TRUE(daemon_closes_after(frame(bad_magic)));
  lab::request_header huge_input{lab::magic, 3, 1, 0x222000, 0xFFFFFFF0u, 16, 0};
  EXPECT_TRUE(daemon_closes_after(frame(huge_input)));
  lab::request_header huge_output{lab::magic, 7, 0, 0, 0, 0xFFFFFFFFu, 0};
  EXPECT_TRUE(daemon_closes_after(frame(huge_output)));
  lab::request_header unknown_operation{lab::magic, 77, 0, 0, 0, 0, 0};
  EXPECT_TRUE(daemon_closes_after(frame(unknown_operation)));
  // A short frame, then the client disconnects in the middle of its request.
  {
    auto connection = connect_raw();
    const auto head = lab::encode(lab::request_header{lab::magic, 3, 1, 0x222000, 4116, 4116, 0});
    connection.write_all(head.data(), 10, 1000);
  }
  {
    auto connection = connect_raw();
    auto head = frame(lab::request_header{lab::magic, 3, 1, 0x222000, 4116, 4116, 0});
    head.resize(head.size() + 100, 0);  // 100 of the 4116 input bytes
    connection.write_all(head.data(), head.size(), 1000);
  }
  // A control request on a handle nobody opened is answered with an error, not a close.
  {
    platform::lab_client client(socket_);
    uint8_t out[16];
    uint32_t returned = 0;
    EXPECT_EQ(client.call(lab::operation::control, 4242, 0x222000, "x", 1, out, sizeof out, returned, 1000),
              platform::error::invalid_handle);
  }
  EXPECT_EQ(dut_id(), 0x0020ABCDu);
}

TEST_P(LabRobustnessOnBoth, ManyClientsAtOnce) {
  start_lab("default.station", GetParam());
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 24; ++c) {
    clients.emplace_back([&] {
      const auto paths = platform::device_interfaces(platform::driver_class::config_space);
      if (paths.empty()) return;
      const auto handle = platform::open_device(paths[0]);
      config_packet p{};
      int ok = 0;
      for (int i = 0; i < 50; ++i) {
        p = config_packet{3, 0, 0, 0, 64, {}};
        uint32_t returned = 0;
        if (platform::device_control(handle, 0x222000, &p, sizeof p, &p, sizeof p, &returned) && p.length == 64 &&
            p.data[0] == 0xCD && p.data[1] == 0xAB) {
          ++ok;
        }
      }
      platform::close_device(handle);
      if (ok == 50) ++good;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(good, 24);
}

TEST_P(LabRobustnessOnBoth, DaemonKilledWhileScanning) {
  start_lab("minimal.station", GetParam());
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  const auto paths = platform::device_interfaces(platform::driver_class::config_space);
  ASSERT_EQ(paths.size(), 1u);
  const auto handle = platform::open_device(paths[0]);
  ASSERT_NE(handle, platform::invalid_handle);
  std::atomic<bool> failed{false};
  std::atomic<uint32_t> failed_at{0};
  std::thread scan([&] {
    for (uint32_t n = 0; n < 65280 * 4 && !failed; ++n) {
      config_packet p{(n >> 8) & 0xFF, (n >> 3) & 31, n & 7, 0, 64, {}};
      uint32_t returned = 0;
      if (!platform::device_control(handle, 0x222000, &p, sizeof p, &p, sizeof p, &returned)) {
        EXPECT_EQ(platform::last_error(), platform::error::device_not_connected);
        failed_at = platform::tick_ms();
        failed = true;
      }
    }
  });
  platform::sleep_ms(200);
  const uint32_t killed_at = platform::tick_ms();
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  scan.join();
  ASSERT_TRUE(failed);
  EXPECT_LT(failed_at - killed_at, 1000u);
  // Every later call fails at once too.
  config_packet p{0, 0, 0, 0, 4, {}};
  uint32_t returned = 0;
  const uint32_t before = platform::tick_ms();
  EXPECT_FALSE(platform::device_control(handle, 0x222000, &p, sizeof p, &p, sizeof p, &returned));
  EXPECT_LT(platform::tick_ms() - before, 450u);  // failed at once, not after its own wait
  platform::close_device(handle);
  EXPECT_TRUE(platform::device_interfaces(platform::driver_class::config_space).empty());
}

// The socket file removed under a running daemon: stop still finds the daemon through the
// pid file beside the socket, and stops it properly.
TEST_F(LabRobustness, StopWithoutTheSocketFindsTheDaemonThroughItsPidFile) {
  start_lab("minimal.station");
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  const std::string pid_path = socket_ + ".pid";
  EXPECT_EQ(platform::live_pid_file_owner(pid_path), pid);
  ASSERT_TRUE(std::filesystem::remove(socket_));
  int code = -1;
  // A second lab on the same path would hide the first one.
  EXPECT_EQ(capture(std::string(ZAMSIM_EXE) + " start " + ZAMSIM_STATIONS + "/minimal.station --socket " + socket_ +
                        " 2>&1",
                    &code),
            "zamsim: the lab daemon " + std::to_string(pid) + " of " + socket_ +
                " still runs, its socket removed (zamsim stop first)\n");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(capture(std::string(ZAMSIM_EXE) + " stop --socket " + socket_ + " 2>&1", &code),
            "zamsim: no lab answers on " + socket_ + "; stopped the lab daemon " + std::to_string(pid) +
                " named by " + pid_path + "\n");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(platform::live_pid_file_owner(pid_path), 0);
  EXPECT_FALSE(std::filesystem::exists(pid_path)) << "the daemon removed it as it stopped";
  std::ifstream log(socket_ + ".log");
  const std::string text((std::istreambuf_iterator<char>(log)), {});
  EXPECT_TRUE(text.ends_with("zamsim: stopped\n")) << text;

  // Once it is gone, a stop says that no lab answers, as before.
  EXPECT_EQ(capture(std::string(ZAMSIM_EXE) + " stop --socket " + socket_ + " 2>&1", &code),
            "zamsim: no lab answers on " + socket_ + "\n");
  EXPECT_EQ(code, 1);
}

// A daemon that stops answering costs one time-out: the provider then knows the lab is gone,
// says why, and fails the requests of every interface opened before at once. A lookup that
// the daemon serves again clears the trouble; the interfaces it lost stay lost.
TEST_P(LabRobustnessOnBoth, AStoppedDaemonCostsOneTimeOutAndIsNamed) {
  start_lab("minimal.station", GetParam());
  struct short_wait {
    short_wait() { platform::set_environment("ZAMSIM_TIMEOUT_MS", "500"); }
    ~short_wait() { platform::unset_environment("ZAMSIM_TIMEOUT_MS"); }
  } wait;
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  const auto paths = platform::device_interfaces(platform::driver_class::config_space);
  ASSERT_EQ(paths.size(), 1u);
  const auto first = platform::open_device(paths[0]);
  const auto second = platform::open_device(paths[0]);
  ASSERT_NE(first, platform::invalid_handle);
  ASSERT_NE(second, platform::invalid_handle);
  EXPECT_EQ(platform::driver_trouble(), "");
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  config_packet p{0, 0, 0, 0, 4, {}};
  uint32_t returned = 0;
  uint32_t before = platform::tick_ms();
  EXPECT_FALSE(platform::device_control(first, 0x222000, &p, sizeof p, &p, sizeof p, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::device_not_connected);
  EXPECT_GE(platform::tick_ms() - before, 450u);
  EXPECT_EQ(platform::driver_trouble(),
            "the lab at ZAMSIM_SOCKET=" + socket_ + " stopped answering: no answer within 500 ms");
  before = platform::tick_ms();
  EXPECT_FALSE(platform::device_control(second, 0x222000, &p, sizeof p, &p, sizeof p, &returned));
  EXPECT_EQ(platform::last_error(), platform::error::device_not_connected);
  EXPECT_LT(platform::tick_ms() - before, 450u);  // failed at once, not after its own wait
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  EXPECT_FALSE(platform::device_control(second, 0x222000, &p, sizeof p, &p, sizeof p, &returned));
  EXPECT_EQ(platform::device_interfaces(platform::driver_class::config_space), paths);
  EXPECT_EQ(platform::driver_trouble(), "");
  platform::close_device(first);
  platform::close_device(second);
}

}  // namespace
}  // namespace e2e
