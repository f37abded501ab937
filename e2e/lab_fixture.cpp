// A lab daemon per test.
#include "lab_fixture.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/lab_client.h"
#include "platform/process.h"

namespace e2e {

std::string transport_name(const ::testing::TestParamInfo<lab_transport>& info) {
  return info.param == lab_transport::tcp ? "tcp" : "local";
}

void LabTest::start_lab(const std::string& station, lab_transport transport) {
  folder_ = platform::make_temp_folder("lab_e2e_");
  ASSERT_FALSE(folder_.empty());
  const std::string station_file = station.starts_with('/') ? station : std::string(ZAMSIM_STATIONS) + "/" + station;
  if (transport == lab_transport::local) {
    socket_ = folder_ + "/zamsim.sock";
    log_ = socket_ + ".log";
    std::string error;
    const int code = platform::run_program({ZAMSIM_EXE, "start", station_file, "--socket", socket_}, {}, &error);
    ASSERT_EQ(code, 0) << error;
    platform::set_environment("ZAMSIM_SOCKET", socket_);
    return;
  }
  // The daemon says the port it got, its secret's file and its log.
  int code = -1;
  const std::string said = capture(std::string(ZAMSIM_EXE) + " start " + station_file + " --socket tcp:127.0.0.1:0", &code);
  ASSERT_EQ(code, 0) << said;
  char address[128] = {}, secret[512] = {}, log[512] = {};
  int pid = 0;
  ASSERT_EQ(std::sscanf(said.c_str(), "zamsim: lab started (pid %d), listening on %127[^,], secret in %511[^,], log %511s",
                        &pid, address, secret, log),
            4)
      << said;
  socket_ = address;
  secret_file_ = secret;
  log_ = log;
  platform::set_environment("ZAMSIM_SOCKET", socket_);
  platform::set_environment("ZAMSIM_SECRET", secret_file_);
}

void LabTest::TearDown() {
  if (!socket_.empty()) {
    platform::run_program({ZAMSIM_EXE, "stop", "--socket", socket_}, {}, nullptr);
  }
  platform::unset_environment("ZAMSIM_SOCKET");
  platform::unset_environment("ZAMSIM_SECRET");
  // A TCP lab keeps its files in the user's lab folder, not the test's; a daemon the test
  // killed leaves its secret there.
  if (!secret_file_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(log_, ignored);
    std::filesystem::remove(secret_file_, ignored);
  }
  if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

platform::stream_connection LabTest::connect_raw() const {
  std::string error;
  auto connection = platform::connect_lab(socket_, secret_file_, &error, 3000);
  EXPECT_TRUE(connection.valid()) << error;
  return connection;
}

int LabTest::daemon_pid() {
  platform::lab_client client(socket_);
  std::string status;
  if (client.call_text(platform::lab::operation::status, "", status) != 0) return -1;
  int pid = -1;
  std::sscanf(status.c_str(), "zamsim pid %d", &pid);
  return pid;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string capture(const std::string& command, int* exit_code) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (exit_code != nullptr) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace e2e
