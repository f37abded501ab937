// A fresh virtual lab for one program: started before it, always stopped after it, even when
// the program had to be killed at its time limit.
#pragma once

#include <string>

namespace zamsuite {

class lab_session {
 public:
  // Starts `zamsim start STATION --socket <private folder>/zamsim.sock`; its messages go to
  // `output_path`. ok() tells whether the lab answers.
  lab_session(const std::string& zamsim, const std::string& station, const std::string& output_path);
  ~lab_session();  // zamsim stop, then the private folder goes
  lab_session(const lab_session&) = delete;
  lab_session& operator=(const lab_session&) = delete;

  bool ok() const { return started_; }
  const std::string& socket() const { return socket_; }
  const std::string& error() const { return error_; }

 private:
  std::string zamsim_, folder_, socket_, output_path_, error_;
  bool started_ = false;
};

}  // namespace zamsuite
