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

void LabTest::start_lab(const std::string& station) {
  folder_ = platform::make_temp_folder("lab_e2e_");
  ASSERT_FALSE(folder_.empty());
  socket_ = folder_ + "/zamsim.sock";
  std::string error;
  const int code = platform::run_program(
      {ZAMSIM_EXE, "start", station.starts_with('/') ? station : std::string(ZAMSIM_STATIONS) + "/" + station,
       "--socket", socket_},
      {}, &error);
  ASSERT_EQ(code, 0) << error;
  platform::set_environment("ZAMSIM_SOCKET", socket_);
}

void LabTest::TearDown() {
  if (!socket_.empty()) {
    platform::run_program({ZAMSIM_EXE, "stop", "--socket", socket_}, {}, nullptr);
  }
  platform::unset_environment("ZAMSIM_SOCKET");
  if (!folder_.empty()) std::filesystem::remove_all(folder_);
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
