// Starting and stopping one program's lab through the zamsim program.
#include "lab_session.h"

#include <filesystem>

#include "platform/child_run.h"
#include "platform/fs.h"
#include "platform/ipc.h"
#include "platform/process.h"

namespace zamsuite {
namespace {

// The lab boots its station in well under this; a hung start must not hang the suite.
constexpr uint32_t lab_command_timeout_ms = 60000;

}  // namespace

bool tcp_lab_of(const std::string& output, tcp_lab* lab) {
  const std::string start = "zamsim: lab started", listening = ", listening on ", secret_in = ", secret in ",
                    log = ", log ";
  const auto begin = output.rfind(start);
  if (begin == std::string::npos) return false;
  const std::string line = output.substr(begin, output.find('\n', begin) - begin);
  const auto a = line.find(listening);
  const auto s = a == std::string::npos ? a : line.find(secret_in, a);
  const auto l = s == std::string::npos ? s : line.rfind(log);
  if (l == std::string::npos || l < s) return false;
  lab->address = line.substr(a + listening.size(), s - a - listening.size());
  lab->secret = line.substr(s + secret_in.size(), l - s - secret_in.size());
  lab->log = line.substr(l + log.size());
  return platform::is_tcp_address(lab->address) && !lab->secret.empty() && !lab->log.empty();
}

lab_session::lab_session(const std::string& zamsim, const std::string& station, const std::string& output_path)
    : zamsim_(zamsim), output_path_(output_path) {
  folder_ = platform::make_temp_folder("zamsuite-lab-");
  if (folder_.empty()) {
    error_ = "cannot create a private folder for the lab";
    return;
  }
  // Where the system has no local sockets (wine), the lab listens on a free loopback port.
  const bool tcp = !platform::local_sockets_supported();
  socket_ = tcp ? "tcp:127.0.0.1:0" : platform::join_path(folder_, "zamsim.sock");
  platform::child_run_options options;
  options.output_path = output_path_;
  options.input_from_null = true;
  options.timeout_ms = lab_command_timeout_ms;
  const auto r = platform::run_child({zamsim_, "start", station, "--socket", socket_}, options);
  started_ = r.started && !r.timed_out && r.signal == 0 && r.exit_code == 0;
  if (!started_) {
    error_ = r.started ? "the lab did not start (see " + output_path_ + ")" : r.error;
    return;
  }
  std::string output;
  tcp_lab lab;
  if (tcp && !(platform::read_text_file(output_path_, &output) && tcp_lab_of(output, &lab))) {
    error_ = "the lab did not say where it listens (see " + output_path_ + ")";
    started_ = false;
    return;
  }
  if (tcp) {
    socket_ = lab.address;
    secret_ = lab.secret;
    tcp_log_ = lab.log;
  }
}

lab_session::~lab_session() {
  if (started_) {
    platform::child_run_options options;
    options.output_path = output_path_;
    options.append_output = true;
    options.input_from_null = true;
    options.timeout_ms = lab_command_timeout_ms;
    const auto r = platform::run_child({zamsim_, "stop", "--socket", socket_}, options);
    // A TCP lab keeps its log in zamsim's own folder, not in ours: it goes as ours does, once
    // the lab has stopped (a lab that would not stop keeps it, for whoever looks into why).
    if (!tcp_log_.empty() && r.started && !r.timed_out && r.exit_code == 0) platform::delete_file(tcp_log_);
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

}  // namespace zamsuite
