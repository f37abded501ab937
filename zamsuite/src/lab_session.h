// A fresh virtual lab for one program: started before it, always stopped after it, even when
// the program had to be killed at its time limit.
#pragma once

#include <string>

namespace zamsuite {

// Where a lab started on TCP listens, its secret file and its log, from the last start line
// "zamsim: lab started (pid N), listening on ADDRESS, secret in FILE, log LOG" in `output`.
// False when there is none or it names no TCP address.
struct tcp_lab {
  std::string address, secret, log;
};
bool tcp_lab_of(const std::string& output, tcp_lab* lab);

class lab_session {
 public:
  // Starts `zamsim start STATION --socket <private folder>/zamsim.sock` (on a system without
  // local sockets `--socket tcp:127.0.0.1:0`, the port and secret file taken from what zamsim
  // says); its messages go to `output_path`. ok() tells whether the lab answers.
  lab_session(const std::string& zamsim, const std::string& station, const std::string& output_path);
  ~lab_session();  // zamsim stop, then the private folder goes
  lab_session(const lab_session&) = delete;
  lab_session& operator=(const lab_session&) = delete;

  bool ok() const { return started_; }
  const std::string& socket() const { return socket_; }
  // The lab's secret file on TCP; empty on a local socket.
  const std::string& secret() const { return secret_; }
  const std::string& error() const { return error_; }

 private:
  std::string zamsim_, folder_, socket_, secret_, tcp_log_, output_path_, error_;
  bool started_ = false;
};

}  // namespace zamsuite
