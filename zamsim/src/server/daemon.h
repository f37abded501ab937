// zamsim's commands: parsing and running them.
#pragma once

#include <string>
#include <vector>

namespace zamsim {

struct command_line {
  std::string command;  // start, stop, status, show, run
  std::string station;  // start and run
  std::string socket;   // --socket, else $ZAMSIM_SOCKET, else the default
  bool socket_given = false;  // --socket was on the command line
  std::string secret;         // a TCP lab's secret file for requests: $ZAMSIM_SECRET, else the default
  std::string state_folder;   // a TCP lab's pid, log and secret files: run's own folder, else the default
  bool foreground = false;
  std::string usbredir;  // start and run: the card's USB controller over usbredir on this socket
  std::vector<std::string> program;  // run: the command after "--"
};

bool parse_command_line(const std::vector<std::string>& args, command_line& out, std::string& error);

// Runs a parsed command; returns the process exit code.
int run_command(const command_line& cl);

// The socket used when neither --socket nor ZAMSIM_SOCKET names one.
std::string default_socket_path();

}  // namespace zamsim
