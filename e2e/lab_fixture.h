// A lab daemon per test: started on a station in a private folder, stopped afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/ipc.h"

namespace e2e {

// How the lab is reached: a local socket, or TCP on loopback with the lab's secret.
enum class lab_transport { local, tcp };

// Names the transports in parameterised tests' names: ".../local", ".../tcp".
std::string transport_name(const ::testing::TestParamInfo<lab_transport>& info);

class LabTest : public ::testing::Test {
 protected:
  // Starts zamsim on the station (a file of zamsim/stations, or an absolute path) and points
  // ZAMSIM_SOCKET at it; on TCP (any free port on 127.0.0.1) ZAMSIM_SECRET too.
  void start_lab(const std::string& station, lab_transport transport = lab_transport::local);
  void TearDown() override;

  // A connection of the test's own for raw frames; on TCP it has proved the secret already.
  platform::stream_connection connect_raw() const;

  // The daemon's process id, from its status answer.
  int daemon_pid();

  std::string folder_;
  std::string socket_;       // where the lab listens: a path, or tcp:127.0.0.1:PORT
  std::string secret_file_;  // TCP: the lab's secret
  std::string log_;          // the daemon's log
};

// Runs a command line through the shell and returns its standard output.
std::string capture(const std::string& command, int* exit_code = nullptr);

// A whole file's bytes; empty when it cannot be read.
std::string slurp(const std::string& path);

}  // namespace e2e
