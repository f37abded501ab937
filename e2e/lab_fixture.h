// A lab daemon per test: started on a station in a private folder, stopped afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace e2e {

class LabTest : public ::testing::Test {
 protected:
  // Starts zamsim on the station (a file of zamsim/stations, or an absolute path) and points
  // ZAMSIM_SOCKET at it.
  void start_lab(const std::string& station);
  void TearDown() override;

  // The daemon's process id, from its status answer.
  int daemon_pid();

  std::string folder_;
  std::string socket_;
};

// Runs a command line through the shell and returns its standard output.
std::string capture(const std::string& command, int* exit_code = nullptr);

// A whole file's bytes; empty when it cannot be read.
std::string slurp(const std::string& path);

}  // namespace e2e
