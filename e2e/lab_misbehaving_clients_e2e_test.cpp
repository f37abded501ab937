// The lab daemon against misbehaving clients and a stopped daemon: the failures surface in
// bounded time and everyone else goes on being served. Each test prints how long its
// failure took to surface.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lab_fixture.h"
#include "platform/clock.h"
#include "platform/devio.h"
#include "platform/ipc.h"
#include "platform/lab_client.h"
#include "platform/lab_secret.h"
#include "platform/process.h"

namespace e2e {
namespace {

namespace lab = platform::lab;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[4096];
};

constexpr uint32_t kMinimalDutId = 0x0020ABCDu;

class LabClientChecks : public LabTest {
 protected:
  // Reads the DUT's IDs through a connection of its own; 0 when that fails.
  static uint32_t dut_id() {
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

  // Milliseconds the DUT read takes; fails the test when the read fails.
  static uint32_t timed_dut_read() {
    const uint32_t start = platform::tick_ms();
    EXPECT_EQ(dut_id(), kMinimalDutId);
    return platform::tick_ms() - start;
  }

  // A status request on a raw connection; true when the answer came.
  static bool status_answered(platform::stream_connection& connection) {
    const auto head = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0,
                                                      0, 256, 0});
    if (connection.write_all(head.data(), head.size(), 1000) != platform::io_status::ok) return false;
    uint8_t answer[lab::answer_header_size];
    if (connection.read_exact(answer, sizeof answer, 3000) != platform::io_status::ok) return false;
    const lab::answer_header h = lab::decode_answer(answer);
    std::vector<uint8_t> text(h.returned);
    return h.error == 0 && (text.empty() || connection.read_exact(text.data(), text.size(), 3000) == platform::io_status::ok);
  }

  static void report(const char* what, uint32_t ms) { std::printf("[ surfaced ] %s after %u ms\n", what, ms); }
};

// Every check on a local socket and on TCP.
class LabMisbehavingClients : public LabClientChecks, public ::testing::WithParamInterface<lab_transport> {};

TEST_P(LabMisbehavingClients, StoppedDaemonFailsEveryCallWithinItsTimeOut) {
  start_lab("minimal.station", GetParam());
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  platform::set_environment("ZAMSIM_TIMEOUT_MS", "1000");
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  // Whatever happens below, the daemon runs again before the fixture stops it.
  const std::unique_ptr<int, void (*)(int*)> resume(new int(pid), [](int* p) {
    ::kill(*p, SIGCONT);
    platform::unset_environment("ZAMSIM_TIMEOUT_MS");
    delete p;
  });

  // A library call: no interface is found, within the time-out.
  uint32_t start = platform::tick_ms();
  EXPECT_TRUE(platform::device_interfaces(platform::driver_class::config_space).empty());
  uint32_t took = platform::tick_ms() - start;
  EXPECT_LT(took, 2500u);
  report("a driver interface lookup against a stopped daemon", took);

  // A program: vexoscan ends with exit code 1 and says why.
  int code = 0;
  start = platform::tick_ms();
  const std::string out = capture(std::string("ZAMSIM_TIMEOUT_MS=1000 ") + VEXOSCAN_EXE + " 2>&1", &code);
  took = platform::tick_ms() - start;
  EXPECT_EQ(code, 1) << out;
  EXPECT_NE(out.find("vexoscan: the framework did not open"), std::string::npos) << out;
  EXPECT_LT(took, 10000u) << out;
  report("vexoscan against a stopped daemon", took);

  // The lab's own command line: a status request fails with a message, not a hang.
  start = platform::tick_ms();
  const std::string status = capture(std::string("ZAMSIM_TIMEOUT_MS=1000 ") + ZAMSIM_EXE + " status --socket " + socket_ + " 2>&1", &code);
  took = platform::tick_ms() - start;
  EXPECT_NE(code, 0) << status;
  EXPECT_NE(status.find("zamsim: no lab answers on " + socket_), std::string::npos) << status;
  EXPECT_LT(took, 5000u) << status;
  report("zamsim status against a stopped daemon", took);

  // Resumed, the daemon serves new clients again.
  ::kill(pid, SIGCONT);
  EXPECT_EQ(dut_id(), kMinimalDutId);
}

TEST_P(LabMisbehavingClients, ClientSendingOneByteASecondDoesNotHoldOthersUp) {
  start_lab("minimal.station", GetParam());
  auto slow = connect_raw();
  ASSERT_TRUE(slow.valid());
  const auto head = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0, 0,
                                                    0, 256, 0});
  std::atomic<bool> closed{false};
  std::atomic<uint32_t> closed_after{0};
  const uint32_t start = platform::tick_ms();
  std::thread trickle([&] {
    for (std::size_t i = 0; i < head.size() && !closed; ++i) {
      if (slow.write_all(head.data() + i, 1, 1000) != platform::io_status::ok) break;
      uint8_t answer[lab::answer_header_size];
      // Waits a second for the next byte; an end of the connection shows up meanwhile.
      if (slow.read_exact(answer, 1, 1000) == platform::io_status::closed) {
        closed_after = platform::tick_ms() - start;
        closed = true;
      }
    }
  });
  // Meanwhile every other client is served at once.
  for (int i = 0; i < 4; ++i) {
    EXPECT_LT(timed_dut_read(), 500u);
    platform::sleep_ms(500);
  }
  trickle.join();
  // The daemon gives a frame a few seconds to arrive whole, then closes that client.
  ASSERT_TRUE(closed);
  EXPECT_LT(closed_after, 8000u);
  report("a client sending one byte a second was closed", closed_after);
  EXPECT_EQ(dut_id(), kMinimalDutId);
}

TEST_P(LabMisbehavingClients, ClientThatConnectsAndNeverSends) {
  start_lab("minimal.station", GetParam());
  auto idle = connect_raw();
  ASSERT_TRUE(idle.valid());
  for (int i = 0; i < 3; ++i) EXPECT_LT(timed_dut_read(), 500u);
  // The idle client does not keep the daemon from stopping.
  const uint32_t start = platform::tick_ms();
  EXPECT_EQ(platform::run_program({ZAMSIM_EXE, "stop", "--socket", socket_}, {}, nullptr), 0);
  uint8_t byte = 0;
  EXPECT_EQ(idle.read_exact(&byte, 1, 3000), platform::io_status::closed);
  const uint32_t took = platform::tick_ms() - start;
  EXPECT_LT(took, 3000u);
  report("a daemon with an idle client stopped", took);
}

TEST_P(LabMisbehavingClients, MoreClientsThanTheLimitAreRefusedTheRestServed) {
  start_lab("minimal.station", GetParam());
  constexpr int kLimit = 64;
  std::vector<platform::stream_connection> held;
  for (int i = 0; i < kLimit; ++i) {
    held.push_back(connect_raw());
    ASSERT_TRUE(held.back().valid());
    ASSERT_TRUE(status_answered(held.back())) << "client " << i;
  }
  // One more is closed by the daemon at once.
  // Refused before anything is said, on TCP before its proof of the secret.
  auto extra = platform::connect_stream(socket_);
  const uint32_t start = platform::tick_ms();
  uint8_t byte = 0;
  EXPECT_EQ(extra.read_exact(&byte, 1, 3000), platform::io_status::closed);
  const uint32_t took = platform::tick_ms() - start;
  EXPECT_LT(took, 2000u);
  report("the client over the limit was refused", took);
  // Those within the limit are still served.
  EXPECT_TRUE(status_answered(held.front()));
  EXPECT_TRUE(status_answered(held.back()));
  // A freed place is taken again once the daemon has seen the client go.
  held.pop_back();
  bool served = false;
  for (int attempt = 0; attempt < 20 && !served; ++attempt) {
    platform::sleep_ms(100);
    auto again = connect_raw();
    served = again.valid() && status_answered(again);
  }
  EXPECT_TRUE(served);
}

TEST_P(LabMisbehavingClients, ClientKilledDuringALongBulkRead) {
  start_lab("minimal.station", GetParam());
  const int pid = daemon_pid();
  ASSERT_GT(pid, 0);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The client: whole 4 KB configuration spaces, one after the other, until killed.
    const auto paths = platform::device_interfaces(platform::driver_class::config_space);
    const auto handle = paths.empty() ? platform::invalid_handle : platform::open_device(paths[0]);
    if (handle == platform::invalid_handle) ::_exit(2);
    const char go = 1;
    if (::write(ready[1], &go, 1) != 1) ::_exit(3);
    static config_packet p;
    for (uint32_t n = 0;; ++n) {
      p = config_packet{0, (n >> 3) & 31, n & 7, 0, 4096, {}};
      uint32_t returned = 0;
      platform::device_control(handle, 0x222000, &p, sizeof p, &p, sizeof p, &returned);
    }
  }
  ::close(ready[1]);
  char go = 0;
  ASSERT_EQ(::read(ready[0], &go, 1), 1);
  ::close(ready[0]);
  platform::sleep_ms(300);
  const uint32_t start = platform::tick_ms();
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  // The daemon lives on and serves the next client at once.
  EXPECT_EQ(dut_id(), kMinimalDutId);
  const uint32_t took = platform::tick_ms() - start;
  EXPECT_TRUE(platform::process_alive(pid));
  EXPECT_LT(took, 1000u);
  report("the next client after a killed bulk reader was served", took);
}

// A lab on TCP: a connection that does not prove the lab's secret first is closed and logged
// by its address, while clients that know the secret are served.
class LabOverTcp : public LabClientChecks {};

TEST_F(LabOverTcp, ClientsWithoutTheSecretAreClosedAndLoggedWhileAnotherIsServed) {
  start_lab("minimal.station", lab_transport::tcp);
  // The secret is the daemon user's alone.
  EXPECT_EQ(std::filesystem::status(secret_file_).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  auto no_secret = platform::connect_tcp(socket_);
  auto wrong_secret = platform::connect_tcp(socket_);
  auto silent = platform::connect_tcp(socket_);
  ASSERT_TRUE(no_secret.valid() && wrong_secret.valid() && silent.valid());
  const auto request = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0,
                                                       0, 0, 256, 0});
  ASSERT_EQ(no_secret.write_all(request.data(), request.size(), 1000), platform::io_status::ok);
  lab::secret wrong{};
  ASSERT_TRUE(lab::read_secret_file(secret_file_, wrong));
  wrong[0] ^= 0xFF;
  const auto hello = lab::encode_hello(wrong);
  ASSERT_EQ(wrong_secret.write_all(hello.data(), hello.size(), 1000), platform::io_status::ok);

  // Meanwhile the lab serves those that know the secret: the library and zamsim.
  EXPECT_EQ(dut_id(), kMinimalDutId);
  int code = -1;
  const std::string status = capture(std::string(ZAMSIM_EXE) + " status", &code);
  EXPECT_EQ(code, 0) << status;
  EXPECT_NE(status.find(", listening on " + socket_ + ", secret in " + secret_file_ + "\n"), std::string::npos)
      << status;
  // One that reads another secret is refused, and told so.
  const std::string other = folder_ + "/other.secret";
  ASSERT_TRUE(platform::write_private_file(other, lab::secret_text(wrong)));
  const std::string refused = capture("ZAMSIM_SECRET=" + other + " " + ZAMSIM_EXE + " status 2>&1", &code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(refused, "zamsim: no lab answers on " + socket_ + " (" + socket_ + ": the lab refused the secret in " +
                         other + ")\n");

  uint8_t answer[lab::answer_header_size];
  EXPECT_EQ(no_secret.read_exact(answer, 1, 3000), platform::io_status::closed);
  ASSERT_EQ(wrong_secret.read_exact(answer, sizeof answer, 3000), platform::io_status::ok);
  EXPECT_EQ(lab::decode_answer(answer).error, platform::error::access_denied);
  EXPECT_EQ(lab::decode_answer(answer).returned, 0u);
  EXPECT_EQ(wrong_secret.read_exact(answer, 1, 3000), platform::io_status::closed);
  EXPECT_EQ(silent.read_exact(answer, 1, 8000), platform::io_status::closed);
  EXPECT_EQ(dut_id(), kMinimalDutId);

  const std::string log = slurp(log_);
  for (const auto& [client, why] : {std::pair{&no_secret, "sent something other than the lab's secret first"},
                                    std::pair{&wrong_secret, "proved a wrong secret"},
                                    std::pair{&silent, "sent no proof of the lab's secret within 5000 ms"}}) {
    const std::string line = "zamsim: client " + client->local_name() + " " + why + "; closing it\n";
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  }
  // Stopped, the lab takes its secret away.
  EXPECT_EQ(platform::run_program({ZAMSIM_EXE, "stop"}, {}, nullptr), 0);
  EXPECT_FALSE(std::filesystem::exists(secret_file_));
}

TEST_F(LabOverTcp, ListeningBeyondLoopbackIsWarnedAboutAndStillNeedsTheSecret) {
  folder_ = platform::make_temp_folder("lab_e2e_");
  int code = -1;
  const std::string said = capture(std::string(ZAMSIM_EXE) + " start " + ZAMSIM_STATIONS +
                                       "/minimal.station --socket tcp:0.0.0.0:0 2>&1",
                                   &code);
  ASSERT_EQ(code, 0) << said;
  unsigned port = 0;
  const auto at = said.find("listening on tcp:0.0.0.0:");
  ASSERT_NE(at, std::string::npos) << said;
  ASSERT_EQ(std::sscanf(said.c_str() + at, "listening on tcp:0.0.0.0:%u", &port), 1) << said;
  const std::string wide = "tcp:0.0.0.0:" + std::to_string(port);
  const std::string warning =
      "zamsim: warning: listening on " + wide + ", which other machines can reach; only the lab's secret keeps them out\n";
  EXPECT_EQ(said.rfind(warning, 0), 0u) << said;
  // The lab is reached on loopback too; its secret lies where clients look by default.
  socket_ = "tcp:127.0.0.1:" + std::to_string(port);
  secret_file_ = lab::default_secret_path(static_cast<uint16_t>(port));
  const auto log_at = said.find(", log ");
  ASSERT_NE(log_at, std::string::npos);
  log_ = said.substr(log_at + 6, said.find('\n', log_at) - log_at - 6);
  EXPECT_NE(slurp(log_).find(warning), std::string::npos) << slurp(log_);
  const std::string status = capture(std::string(ZAMSIM_EXE) + " status --socket " + socket_, &code);
  EXPECT_EQ(code, 0) << status;
  EXPECT_NE(status.find(", listening on " + wide + ", secret in " + secret_file_ + "\n"), std::string::npos) << status;
  auto unproved = platform::connect_tcp(socket_);
  ASSERT_TRUE(unproved.valid());
  ASSERT_EQ(unproved.write_all("GET / HTTP/1.0\r\n\r\n", 18, 1000), platform::io_status::ok);
  uint8_t byte = 0;
  EXPECT_EQ(unproved.read_exact(&byte, 1, 3000), platform::io_status::closed);
}

INSTANTIATE_TEST_SUITE_P(Transports, LabMisbehavingClients,
                         ::testing::Values(lab_transport::local, lab_transport::tcp), transport_name);

}  // namespace
}  // namespace e2e
