// Local sockets, TCP and the lab client on every system: framing, time-outs, a peer that
// closes or dies, a shut-down connection, listeners and folders, each on both transports.
#include "platform/ipc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/devio.h"
#include "platform/lab_client.h"
#include "platform/lab_secret.h"
#include "platform/process.h"
#ifdef _WIN32
#include <windows.h>

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

// For what needs no local socket (TCP, files): runs under every wine.
class TcpIpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::make_temp_folder("ipc_tcp_test_");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/lab.sock";
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  std::string folder_, socket_;
};

enum class transport { local, tcp };

// The same checks on a local socket and on TCP (loopback, a free port). Under a wine
// without local sockets only the TCP ones run.
class IpcTransportTest : public ::testing::TestWithParam<transport> {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (GetParam() == transport::local) {
      if (const std::string reason = platform::test::wine_without_local_sockets(); !reason.empty()) {
        GTEST_SKIP() << reason;
      }
    }
#endif
    folder_ = platform::make_temp_folder("ipc_test_");
    ASSERT_FALSE(folder_.empty());
    address_ = GetParam() == transport::tcp ? "tcp:127.0.0.1:0" : folder_ + "/lab.sock";
    secret_file_ = folder_ + "/lab.secret";
    ASSERT_TRUE(platform::lab::make_secret(secret_));
    ASSERT_TRUE(platform::write_private_file(secret_file_, platform::lab::secret_text(secret_)));
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  // Accepts a lab client; on TCP reads its hello, which must carry the secret, and accepts it.
  platform::stream_connection accept_lab_client(platform::stream_listener& listener) {
    platform::stream_connection client = listener.accept(5000);
    if (!client.valid() || GetParam() == transport::local) return client;
    uint8_t hello[platform::lab::hello_size];
    EXPECT_EQ(client.read_exact(hello, sizeof hello, 5000), platform::io_status::ok);
    EXPECT_TRUE(std::equal(hello, hello + sizeof hello, platform::lab::encode_hello(secret_).begin()));
    const auto accepted = platform::lab::encode(platform::lab::answer_header{0, 0});
    EXPECT_EQ(client.write_all(accepted.data(), accepted.size(), 5000), platform::io_status::ok);
    return client;
  }

  std::string folder_, address_, secret_file_;
  platform::lab::secret secret_{};
};

INSTANTIATE_TEST_SUITE_P(Transports, IpcTransportTest, ::testing::Values(transport::local, transport::tcp),
                         [](const ::testing::TestParamInfo<transport>& info) {
                           return info.param == transport::tcp ? std::string("tcp") : std::string("local");
                         });

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

TEST_P(IpcTransportTest, BytesCrossBothWaysAndAClosedPeerIsSeen) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(address_));
  platform::stream_connection client = platform::connect_stream(listener.path());
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

TEST_P(IpcTransportTest, ReadSomeTakesWhatHasArrivedWaitsOnlyForTheFirstByteAndSeesTheClose) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(address_));
  platform::stream_connection client = platform::connect_stream(listener.path());
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

TEST_P(IpcTransportTest, ShutdownWakesABlockedReader) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(address_));
  platform::stream_connection client = platform::connect_stream(listener.path());
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

TEST_P(IpcTransportTest, LabClientRoundTripAndDeadDaemon) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(address_));
  // A one-shot daemon: answers the first request by echoing its input reversed, then dies.
  std::thread daemon([&] {
    auto client = accept_lab_client(listener);
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
  platform::lab_client client(listener.path(), secret_file_);
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

TEST_P(IpcTransportTest, SilentDaemonTimesOut) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen(address_));
  platform::lab_client client(listener.path(), secret_file_);
  std::thread daemon([&] {
    auto held = listener.accept(5000);  // accepts, never answers (not even a hello)
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


TEST(TcpAddressTest, OnlyTcpHostPortWithAPortInRangeIsATcpAddress) {
  struct address_case {
    const char* text;
    bool any_port;       // a listener may ask for port 0
    const char* host;    // nullptr: malformed
    uint16_t port;
    const char* why;     // the reason the error gives
  };
  const address_case cases[] = {
      {"tcp:127.0.0.1:5555", false, "127.0.0.1", 5555, ""},
      {"tcp:localhost:1", false, "localhost", 1, ""},
      {"tcp:lab-host.example:65535", false, "lab-host.example", 65535, ""},
      {"tcp:127.0.0.1:00080", false, "127.0.0.1", 80, ""},
      {"tcp:127.0.0.1:0", true, "127.0.0.1", 0, ""},
      {"tcp:127.0.0.1:0", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1:65536", true, nullptr, 0, "the port is a number from 0 to 65535"},
      {"tcp:127.0.0.1:000080", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1:", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1:+80", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1: 80", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1:80:81", false, nullptr, 0, "the port is a number from 1 to 65535"},
      {"tcp:127.0.0.1", false, nullptr, 0, "no port"},
      {"tcp::5555", false, nullptr, 0, "no host"},
      {"tcp:[::1]:5555", false, nullptr, 0, "the host is an IPv4 address or a host name"},
      {"tcp:lab_host:5555", false, nullptr, 0, "the host is an IPv4 address or a host name"},
      {"TCP:127.0.0.1:5555", false, nullptr, 0, "it does not start with tcp:"},
  };
  for (const address_case& c : cases) {
    platform::tcp_endpoint endpoint;
    std::string error;
    const bool parsed = platform::parse_tcp_address(c.text, endpoint, c.any_port, &error);
    EXPECT_EQ(parsed, c.host != nullptr) << c.text;
    if (c.host != nullptr) {
      EXPECT_EQ(endpoint.host, c.host) << c.text;
      EXPECT_EQ(endpoint.port, c.port) << c.text;
      EXPECT_TRUE(platform::is_tcp_address(c.text)) << c.text;
    } else {
      EXPECT_EQ(error, std::string("\"") + c.text + "\" is not a TCP address tcp:HOST:PORT (" + c.why + ")");
    }
  }
  // Anything not spelt tcp: is a local socket's path.
  EXPECT_FALSE(platform::is_tcp_address("TCP:127.0.0.1:5555"));
  EXPECT_FALSE(platform::is_tcp_address("/run/user/1000/zamsim-1000/tcp:1"));
  EXPECT_FALSE(platform::is_tcp_address("tcp"));
}

TEST_F(TcpIpcTest, TcpListenerTakesAFreePortRefusesABusyOneAndLetsItGo) {
  std::string error;
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen("tcp:localhost:0", &error)) << error;
  EXPECT_TRUE(listener.is_tcp());
  EXPECT_TRUE(listener.on_loopback());
  // The address says the numeric host and the port it got.
  const std::string address = listener.path();
  ASSERT_EQ(address.rfind("tcp:127.0.0.1:", 0), 0u) << address;
  platform::tcp_endpoint endpoint;
  ASSERT_TRUE(platform::parse_tcp_address(address, endpoint, false)) << address;
  EXPECT_NE(endpoint.port, 0);

  platform::stream_listener second;
  EXPECT_FALSE(second.listen(address, &error));
  EXPECT_EQ(error, address + ": the port is in use");
  EXPECT_FALSE(second.valid());

  // Both ends name each other: the client's own address is the peer the server sees.
  platform::stream_connection client = platform::connect_stream(address, &error);
  ASSERT_TRUE(client.valid()) << error;
  platform::stream_connection server = listener.accept(1000);
  ASSERT_TRUE(server.valid());
  EXPECT_EQ(client.peer_name(), address.substr(4));
  EXPECT_EQ(server.peer_name(), client.local_name());
  EXPECT_EQ(client.local_name().rfind("127.0.0.1:", 0), 0u) << client.local_name();

  // Closed, the port refuses, and is free for the next listener at once.
  listener.close();
  EXPECT_FALSE(platform::connect_stream(address, &error).valid());
  EXPECT_EQ(error.rfind(address + ": ", 0), 0u) << error;
  ASSERT_TRUE(second.listen(address, &error)) << error;
  EXPECT_EQ(second.path(), address);

  // Every address of the machine is not loopback: the daemon warns about such a listener.
  platform::stream_listener wide;
  ASSERT_TRUE(wide.listen("tcp:0.0.0.0:0", &error)) << error;
  EXPECT_FALSE(wide.on_loopback());
  EXPECT_EQ(wide.path().rfind("tcp:0.0.0.0:", 0), 0u) << wide.path();
  // A local socket's connection has no address to name.
  platform::stream_listener local_listener;
  if (local_listener.listen(socket_)) {
    platform::stream_connection local = platform::connect_stream(socket_);
    EXPECT_EQ(local.peer_name(), "a local client");
    EXPECT_EQ(local.local_name(), "");
    EXPECT_FALSE(local_listener.is_tcp());
  }
}

TEST(LabSecretTest, SecretTextHelloFrameAndComparison) {
  platform::lab::secret secret{};
  for (std::size_t i = 0; i < secret.size(); ++i) secret[i] = static_cast<uint8_t>(i * 17 + 1);
  const std::string text = platform::lab::secret_text(secret);
  EXPECT_EQ(text, "0112233445566778899aabbccddeef00112233445566778899aabbccddeeff10\n");

  struct text_case {
    std::string text;
    bool accepted;
  };
  const std::string digits = text.substr(0, 64);
  std::string upper = digits;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const text_case& c : {text_case{text, true}, text_case{digits, true}, text_case{digits + "\r\n", true},
                             text_case{upper + "\n", true}, text_case{digits.substr(1) + "\n", false},
                             text_case{digits + "0\n", false}, text_case{digits + " \n", false},
                             text_case{"g" + digits.substr(1), false}, text_case{digits + "\n\n", false},
                             text_case{"", false}}) {
    platform::lab::secret parsed{};
    EXPECT_EQ(platform::lab::parse_secret(c.text, parsed), c.accepted) << c.text;
    if (c.accepted) {
      EXPECT_EQ(parsed, secret) << c.text;
    }
  }

  // The hello: "ZHEL", the secret's length 32, the secret's bytes.
  const auto hello = platform::lab::encode_hello(secret);
  ASSERT_EQ(hello.size(), 40u);
  const uint8_t head[] = {'Z', 'H', 'E', 'L', 32, 0, 0, 0};
  EXPECT_TRUE(std::equal(head, head + 8, hello.begin()));
  EXPECT_TRUE(std::equal(secret.begin(), secret.end(), hello.begin() + 8));
  EXPECT_TRUE(platform::lab::hello_head_well_formed(hello.data()));
  for (const std::size_t at : {0u, 3u, 4u, 7u}) {
    auto bent = hello;
    bent[at] ^= 0x01;
    EXPECT_FALSE(platform::lab::hello_head_well_formed(bent.data())) << "byte " << at;
  }
  // A request frame sent first is no hello.
  const auto request = platform::lab::encode(platform::lab::request_header{});
  EXPECT_FALSE(platform::lab::hello_head_well_formed(request.data()));

  platform::lab::secret other = secret;
  EXPECT_TRUE(platform::lab::same_secret(secret.data(), other.data()));
  for (const std::size_t at : {0u, 15u, 31u}) {
    other = secret;
    other[at] ^= 0x80;
    EXPECT_FALSE(platform::lab::same_secret(secret.data(), other.data())) << "byte " << at;
  }

  // Two fresh secrets differ (a source that gives zeros or repeats itself is caught).
  platform::lab::secret a{}, b{};
  ASSERT_TRUE(platform::lab::make_secret(a));
  ASSERT_TRUE(platform::lab::make_secret(b));
  EXPECT_NE(a, b);
  EXPECT_NE(a, platform::lab::secret{});
}

TEST(LabSecretTest, UnixPathsAreFoundOnDriveZUnderWine) {
  struct path_case {
    const char* unix_path;
    const char* on_z;
  };
  for (const path_case& c : {path_case{"/tmp/zamsim-run-Ab12/tcp-4711.secret", "Z:\\tmp\\zamsim-run-Ab12\\tcp-4711.secret"},
                             path_case{"/x", "Z:\\x"}, path_case{"relative/lab.secret", ""},
                             path_case{"//server/share/lab.secret", ""}, path_case{"C:\\lab\\lab.secret", ""},
                             path_case{"/", ""}, path_case{"", ""}}) {
    EXPECT_EQ(platform::lab::wine_drive_z_path(c.unix_path), c.on_z) << c.unix_path;
  }
  const auto candidates = platform::lab::secret_file_candidates("/tmp/lab.secret");
#ifdef _WIN32
  EXPECT_EQ(candidates, (std::vector<std::string>{"/tmp/lab.secret", "Z:\\tmp\\lab.secret"}));
#else
  EXPECT_EQ(candidates, (std::vector<std::string>{"/tmp/lab.secret"}));
#endif
}

TEST_F(TcpIpcTest, SecretFilesAreReadWithReasonsForWhatIsWrong) {
  platform::lab::secret secret{};
  ASSERT_TRUE(platform::lab::make_secret(secret));
  const std::string file = folder_ + "/lab.secret";
  ASSERT_TRUE(platform::write_private_file(file, "old contents, longer than the new ones\n" + std::string(200, 'x')));
  ASSERT_TRUE(platform::write_private_file(file, platform::lab::secret_text(secret)));
  platform::lab::secret read{};
  std::string error;
  ASSERT_TRUE(platform::lab::read_secret_file(file, read, &error)) << error;
  EXPECT_EQ(read, secret);

  const std::string bad = folder_ + "/bad.secret";
  ASSERT_TRUE(platform::write_private_file(bad, "not a secret\n"));
  EXPECT_FALSE(platform::lab::read_secret_file(bad, read, &error));
  EXPECT_EQ(error, "the secret file " + bad + " does not hold a lab secret (64 hexadecimal digits)");
  const std::string missing = folder_ + "/missing.secret";
  EXPECT_FALSE(platform::lab::read_secret_file(missing, read, &error));
  EXPECT_EQ(error, "cannot read the lab's secret file " + missing + " (ZAMSIM_SECRET names another)");
  EXPECT_FALSE(platform::lab::read_secret_file("", read, &error));
  EXPECT_EQ(error, "no secret file is named (set ZAMSIM_SECRET)");

  // ZAMSIM_SECRET names the file a client reads; without it the port's default place.
  platform::set_environment("ZAMSIM_SECRET", file);
  EXPECT_EQ(platform::lab::secret_path_for("tcp:127.0.0.1:4711"), file);
  platform::unset_environment("ZAMSIM_SECRET");
  const std::string fallback = platform::lab::secret_path_for("tcp:127.0.0.1:4711");
  EXPECT_EQ(fallback, platform::lab::default_secret_path(4711));
  EXPECT_NE(fallback.find("/zamsim-" + std::to_string(platform::current_user_id()) + "/tcp-4711.secret"),
            std::string::npos)
      << fallback;
}

#ifdef _WIN32
// Under wine the Linux `zamsim run` names the secret by its Unix path: the Windows client
// finds it on drive Z:, and proves it.
TEST_F(TcpIpcTest, UnderWineTheSecretNamedByItsUnixPathIsReadAndProved) {
  using unix_name_function = char* (*)(const WCHAR*);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto unix_name = kernel ? reinterpret_cast<unix_name_function>(
                                      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                                : nullptr;
  if (unix_name == nullptr) GTEST_SKIP() << "not under wine";
  platform::lab::secret secret{};
  ASSERT_TRUE(platform::lab::make_secret(secret));
  const std::string file = folder_ + "\\lab.secret";
  ASSERT_TRUE(platform::write_private_file(file, platform::lab::secret_text(secret)));
  const std::wstring wide(file.begin(), file.end());
  char* converted = unix_name(wide.c_str());
  ASSERT_NE(converted, nullptr);
  const std::string unix_path = converted;
  HeapFree(GetProcessHeap(), 0, converted);
  ASSERT_EQ(unix_path.rfind('/', 0), 0u) << unix_path;

  platform::lab::secret read{};
  std::string error;
  ASSERT_TRUE(platform::lab::read_secret_file(unix_path, read, &error)) << error;
  EXPECT_EQ(read, secret);

  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen("tcp:127.0.0.1:0", &error)) << error;
  std::thread daemon([&] {
    auto client = listener.accept(5000);
    ASSERT_TRUE(client.valid());
    uint8_t hello[platform::lab::hello_size];
    ASSERT_EQ(client.read_exact(hello, sizeof hello, 5000), platform::io_status::ok);
    EXPECT_TRUE(std::equal(hello, hello + sizeof hello, platform::lab::encode_hello(secret).begin()));
    const auto accepted = platform::lab::encode(platform::lab::answer_header{0, 0});
    client.write_all(accepted.data(), accepted.size(), 5000);
  });
  platform::set_environment("ZAMSIM_SECRET", unix_path);
  const auto connection = platform::connect_lab(listener.path(), "", &error, 3000);
  platform::unset_environment("ZAMSIM_SECRET");
  daemon.join();
  EXPECT_TRUE(connection.valid()) << error;
}
#endif

// What a TCP lab client is told when it cannot prove the secret, and that it proves it
// before anything else.
TEST_F(TcpIpcTest, LabClientProvesTheSecretFirstAndSaysWhyItCannot) {
  platform::stream_listener listener;
  ASSERT_TRUE(listener.listen("tcp:127.0.0.1:0"));
  const std::string address = listener.path();
  platform::lab::secret secret{};
  ASSERT_TRUE(platform::lab::make_secret(secret));
  const std::string file = folder_ + "/lab.secret";
  ASSERT_TRUE(platform::write_private_file(file, platform::lab::secret_text(secret)));
  uint32_t returned = 0;
  char out[16];

  // A malformed address is said as such, before any secret is looked for.
  {
    platform::lab_client client("tcp:127.0.0.1:0", file);
    EXPECT_EQ(client.call(platform::lab::operation::status, 0, 0, nullptr, 0, out, sizeof out, returned, 500),
              platform::error::device_not_connected);
    EXPECT_EQ(client.connect_error(),
              "\"tcp:127.0.0.1:0\" is not a TCP address tcp:HOST:PORT (the port is a number from 1 to 65535)");
  }
  // No secret to read: the client fails before it connects.
  {
    platform::lab_client client(address, folder_ + "/none.secret");
    EXPECT_EQ(client.call(platform::lab::operation::status, 0, 0, nullptr, 0, out, sizeof out, returned, 500),
              platform::error::device_not_connected);
    EXPECT_EQ(client.connect_error(),
              "cannot read the lab's secret file " + folder_ + "/none.secret (ZAMSIM_SECRET names another)");
    EXPECT_FALSE(listener.accept(100).valid());
  }
  // The daemon refuses the secret: access denied, then the close.
  for (const uint32_t verdict : {platform::error::access_denied, platform::error::success}) {
    std::thread daemon([&] {
      auto connection = listener.accept(5000);
      ASSERT_TRUE(connection.valid());
      uint8_t hello[platform::lab::hello_size];
      ASSERT_EQ(connection.read_exact(hello, sizeof hello, 5000), platform::io_status::ok);
      EXPECT_TRUE(std::equal(hello, hello + sizeof hello, platform::lab::encode_hello(secret).begin()));
      const auto answer = platform::lab::encode(platform::lab::answer_header{verdict, 0});
      connection.write_all(answer.data(), answer.size(), 5000);
      if (verdict != platform::error::success) return;
      // Accepted: the request follows the hello on the same connection, on the socket.
      uint8_t head[platform::lab::request_header_size];
      ASSERT_EQ(connection.read_exact(head, sizeof head, 5000), platform::io_status::ok);
      EXPECT_EQ(platform::lab::decode_request(head).operation, static_cast<uint32_t>(platform::lab::operation::status));
      const auto reply = platform::lab::encode(platform::lab::answer_header{0, 2});
      connection.write_all(reply.data(), reply.size(), 5000);
      connection.write_all("ok", 2, 5000);
    });
    platform::lab_client client(address, file);
    const uint32_t status =
        client.call(platform::lab::operation::status, 0, 0, nullptr, 0, out, sizeof out, returned, 2000);
    daemon.join();
    if (verdict == platform::error::success) {
      EXPECT_EQ(status, 0u);
      EXPECT_EQ(std::string(out, returned), "ok");
      EXPECT_FALSE(client.on_shared_channel());
    } else {
      EXPECT_EQ(status, platform::error::device_not_connected);
      EXPECT_EQ(client.connect_error(), address + ": the lab refused the secret in " + file);
    }
  }
}

}  // namespace
