// The lab server on a socket with many clients at once: every client's requests are
// answered correctly while others open, read, write and close handles.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/lab_server_fixture.h"
#include "base/lattix_hierarchy.h"
#include "platform/lab_client.h"
#include "platform/lab_protocol.h"
#include "platform/process.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;

struct config_packet {
  uint32_t bus, device, function, offset, length;
  uint8_t data[64];
};

class LabServerThreadsTest : public lab_testing::ListeningLabTest {
 protected:

};

// One client: opens the configuration driver, reads the DUT's IDs and writes its command
// register, then closes; true when every answer was right.
bool client_round(const std::string& socket, int round) {
  platform::lab_client client(socket);
  const std::string path = "lab:config-0";
  uint8_t handle_bytes[4];
  uint32_t returned = 0;
  if (client.call(lab::operation::open, 0, 0, path.data(), static_cast<uint32_t>(path.size()), handle_bytes, 4,
                  returned, 5000) != 0 ||
      returned != 4) {
    return false;
  }
  const uint32_t handle = lab::get_le32(handle_bytes);
  config_packet p{3, 0, 0, 0, 4, {}};
  if (client.call(lab::operation::control, handle, 0x222000, &p, sizeof p, &p, sizeof p, returned, 5000) != 0)
    return false;
  uint32_t id = 0;
  std::memcpy(&id, p.data, 4);
  config_packet w{3, 0, 0, 0x04, 2, {}};
  w.data[0] = static_cast<uint8_t>(round & 0x6);  // memory and bus master enables
  if (client.call(lab::operation::control, handle, 0x222004, &w, sizeof w, &w, sizeof w, returned, 5000) != 0)
    return false;
  std::string status;
  if (client.call_text(lab::operation::status, "", status) != 0 || status.rfind("zamsim pid ", 0) != 0) return false;
  return client.call(lab::operation::close, handle, 0, nullptr, 0, nullptr, 0, returned, 5000) == 0 &&
         id == 0x0020ABCDu;
}

TEST_F(LabServerThreadsTest, ManyClientsAtOnceAreEachAnsweredRight) {
  constexpr int kClients = 12;
  constexpr int kRounds = 20;
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      for (int r = 0; r < kRounds; ++r)
        if (client_round(socket_, c + r)) ++good;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(good, kClients * kRounds);
  // A stop request ends serve() once its answer is out.
  platform::lab_client stopper(socket_);
  std::string answer;
  EXPECT_EQ(stopper.call_text(lab::operation::stop, "", answer), 0u);
  serving_.join();
}

}  // namespace
}  // namespace zamsim
