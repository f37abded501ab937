// The lab server on TCP: nothing is served before the client proves the lab's secret. A
// client with no secret, a wrong one, a bent hello or none at all is closed and logged by its
// address, while a client that knows the secret is served meanwhile.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/lab_server_fixture.h"
#include "platform/lab_client.h"
#include "platform/lab_protocol.h"
#include "platform/lab_secret.h"
#include "platform/process.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;
using platform::io_status;

class LabServerSecretTest : public lab_testing::BootedLabTest {
 protected:
  void SetUp() override {
    BootedLabTest::SetUp();
    if (HasFatalFailure()) return;
    folder_ = platform::make_temp_folder("lab_secret_");
    ASSERT_FALSE(folder_.empty());
    secret_file_ = folder_ + "/tcp.secret";
    ASSERT_TRUE(lab::make_secret(secret_));
    ASSERT_TRUE(platform::write_private_file(secret_file_, lab::secret_text(secret_)));
    std::string error;
    ASSERT_TRUE(server_->listen("tcp:127.0.0.1:0", error)) << error;
    ASSERT_TRUE(server_->on_tcp());
    server_->require_secret(secret_, secret_file_);
    address_ = server_->address();
    serving_ = std::thread([this] { server_->serve(); });
  }
  void TearDown() override {
    if (serving_.joinable()) {
      server_->request_stop();
      serving_.join();
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  // A status request through a lab client that reads the right secret.
  std::string status_of_a_good_client() {
    platform::lab_client client(address_, secret_file_);
    std::string text;
    EXPECT_EQ(client.call_text(lab::operation::status, "", text), 0u) << client.connect_error();
    return text;
  }

  std::string folder_, secret_file_, address_;
  lab::secret secret_{};
  std::thread serving_;
};

TEST_F(LabServerSecretTest, OnlyAClientThatProvesTheSecretIsServedAndTheOthersAreLoggedByAddress) {
  lab::secret wrong = secret_;
  wrong[31] ^= 1;
  const auto good_hello = lab::encode_hello(secret_);
  const auto wrong_hello = lab::encode_hello(wrong);
  std::vector<uint8_t> long_hello(good_hello.begin(), good_hello.end());
  long_hello[4] = 33;  // announces a secret longer than the lab's
  const auto request = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0,
                                                       0, 0, 256, 0});
  const std::vector<uint8_t> denied{5, 0, 0, 0, 0, 0, 0, 0};  // access denied, nothing returned
  struct misbehaviour {
    const char* what;
    std::vector<uint8_t> sent;
    std::vector<uint8_t> answer;  // what the daemon says before it closes
    const char* logged;
  };
  const misbehaviour cases[] = {
      {"a request without the secret", {request.begin(), request.end()}, {},
       "sent something other than the lab's secret first"},
      {"a wrong secret", {wrong_hello.begin(), wrong_hello.end()}, denied, "proved a wrong secret"},
      {"a hello announcing another length", long_hello, {}, "sent something other than the lab's secret first"},
      {"half a hello, then nothing", {good_hello.begin(), good_hello.begin() + 20}, {},
       "sent no proof of the lab's secret within 5000 ms"},
      {"nothing at all", {}, {}, "sent no proof of the lab's secret within 5000 ms"},
  };
  ::testing::internal::CaptureStdout();
  std::vector<platform::stream_connection> clients;
  for (const misbehaviour& c : cases) {
    clients.push_back(platform::connect_tcp(address_));
    ASSERT_TRUE(clients.back().valid()) << c.what;
    if (!c.sent.empty()) {
      ASSERT_EQ(clients.back().write_all(c.sent.data(), c.sent.size(), 1000), io_status::ok) << c.what;
    }
  }
  // While they wait, a client with the secret is served, and told where the lab listens.
  EXPECT_EQ(status_of_a_good_client(),
            "zamsim pid " + std::to_string(platform::current_process_id()) + ", station minimal (" +
                station_->config().path + "), listening on " + address_ + ", secret in " + secret_file_ + "\n");
  std::vector<std::string> expected_log;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    const misbehaviour& c = cases[i];
    // Each gets exactly its answer, then the close (the silent ones after the time-out).
    std::vector<uint8_t> answer(c.answer.size());
    if (!answer.empty()) {
      EXPECT_EQ(clients[i].read_exact(answer.data(), answer.size(), 8000), io_status::ok) << c.what;
      EXPECT_EQ(answer, c.answer) << c.what;
    }
    uint8_t byte = 0;
    EXPECT_EQ(clients[i].read_exact(&byte, 1, 8000), io_status::closed) << c.what;
    expected_log.push_back("zamsim: client " + clients[i].local_name() + " " + c.logged + "; closing it\n");
  }
  // Still served after them all.
  EXPECT_EQ(status_of_a_good_client().rfind("zamsim pid ", 0), 0u);
  const std::string log = ::testing::internal::GetCapturedStdout();
  for (const std::string& line : expected_log) EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST_F(LabServerSecretTest, TheSecretComesBeforeEveryRequestAndOnlyOnce) {
  // A client that proves the secret is answered with success and then served on the socket:
  // a second hello is a malformed frame, not a new proof.
  platform::stream_connection client = platform::connect_tcp(address_);
  ASSERT_TRUE(client.valid());
  const auto hello = lab::encode_hello(secret_);
  ASSERT_EQ(client.write_all(hello.data(), hello.size(), 1000), io_status::ok);
  uint8_t answer[lab::answer_header_size];
  ASSERT_EQ(client.read_exact(answer, sizeof answer, 3000), io_status::ok);
  EXPECT_EQ(std::vector<uint8_t>(answer, answer + sizeof answer), std::vector<uint8_t>(8, 0));
  const auto request = lab::encode(lab::request_header{lab::magic, static_cast<uint32_t>(lab::operation::status), 0,
                                                       0, 0, 256, 0});
  ASSERT_EQ(client.write_all(request.data(), request.size(), 1000), io_status::ok);
  ASSERT_EQ(client.read_exact(answer, sizeof answer, 3000), io_status::ok);
  const lab::answer_header status = lab::decode_answer(answer);
  EXPECT_EQ(status.error, 0u);
  std::string text(status.returned, '\0');
  ASSERT_EQ(client.read_exact(text.data(), text.size(), 3000), io_status::ok);
  EXPECT_EQ(text.rfind("zamsim pid ", 0), 0u) << text;
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(client.write_all(hello.data(), hello.size(), 1000), io_status::ok);
  uint8_t byte = 0;
  EXPECT_EQ(client.read_exact(&byte, 1, 8000), io_status::closed);
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("zamsim: malformed frame from a client (magic 0x4C45485A"),
            std::string::npos);
}

// A TCP server that was given no secret serves nobody, whatever they send.
TEST_F(LabServerSecretTest, AServerWithoutASecretRefusesEveryone) {
  lab_server bare(*station_);
  std::string error;
  ASSERT_TRUE(bare.listen("tcp:127.0.0.1:0", error)) << error;
  std::thread serving([&] { bare.serve(); });
  platform::stream_connection client = platform::connect_tcp(bare.address());
  ASSERT_TRUE(client.valid());
  const auto hello = lab::encode_hello(lab::secret{});
  ASSERT_EQ(client.write_all(hello.data(), hello.size(), 1000), io_status::ok);
  uint8_t answer[lab::answer_header_size];
  ASSERT_EQ(client.read_exact(answer, sizeof answer, 3000), io_status::ok);
  EXPECT_EQ(lab::decode_answer(answer).error, platform::error::access_denied);
  uint8_t byte = 0;
  EXPECT_EQ(client.read_exact(&byte, 1, 3000), io_status::closed);
  bare.request_stop();
  serving.join();
}

}  // namespace
}  // namespace zamsim
