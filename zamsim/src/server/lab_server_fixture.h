// Test fixtures of the lab server: a booted minimal station with its server, and the same
// server listening on a socket in a fresh folder, served by a thread of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "server/lab_server.h"
#include "base/lattix_hierarchy.h"
#ifdef _WIN32
#include "wine_sockets.h"
#endif

// Skips the calling test (or its SetUp) where the system has no local sockets (wine).
#ifdef _WIN32
#define ZAMSIM_SKIP_WITHOUT_LOCAL_SOCKETS()                                                   \
  do {                                                                                        \
    if (const std::string reason = platform::test::wine_without_local_sockets(); !reason.empty()) \
      GTEST_SKIP() << reason;                                                                 \
  } while (false)
#else
#define ZAMSIM_SKIP_WITHOUT_LOCAL_SOCKETS() \
  do {                                      \
  } while (false)
#endif

namespace zamsim::lab_testing {

class BootedLabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto config = load_station(std::string(ZAMSIM_STATIONS) + "/minimal.station", error);
    ASSERT_TRUE(config) << error;
    auto tree = make_lattix_hierarchy(config->topology_path, error);
    ASSERT_TRUE(tree) << error;
    station_ = std::make_unique<lab_station>(*config, std::move(tree));
    ASSERT_TRUE(station_->boot(error)) << error;
    server_ = std::make_unique<lab_server>(*station_);
  }

  std::unique_ptr<lab_station> station_;
  std::unique_ptr<lab_server> server_;
};

class ListeningLabTest : public BootedLabTest {
 protected:
  void SetUp() override {
    ZAMSIM_SKIP_WITHOUT_LOCAL_SOCKETS();
    BootedLabTest::SetUp();
    if (HasFatalFailure()) return;
    folder_ = platform::make_temp_folder("lab_server_");
    ASSERT_FALSE(folder_.empty());
    socket_ = folder_ + "/lab.sock";
    std::string error;
    ASSERT_TRUE(server_->listen(socket_, error)) << error;
    serving_ = std::thread([this] { server_->serve(); });
  }
  void TearDown() override {
    if (serving_.joinable()) {
      server_->request_stop();
      serving_.join();
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  std::string folder_, socket_;
  std::thread serving_;
};

}  // namespace zamsim::lab_testing
