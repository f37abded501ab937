// zamsim: the virtual lab daemon and its commands (start, stop, status, run, show).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/standard_options.h"
#include "server/daemon.h"

namespace {

void usage(std::FILE* to) {
  std::fputs(
      "Usage:\n"
      "  zamsim start <station file> [--socket PATH] [--usbredir PATH] [--foreground]\n"
      "  zamsim stop   [--socket PATH]\n"
      "  zamsim status [--socket PATH]\n"
      "  zamsim show   [--socket PATH]\n"
      "  zamsim power-cycle-card [--socket PATH]   # the card loads its next-boot mode\n"
      "  zamsim run <station file> [--socket PATH] [--usbredir PATH] -- <command...>\n"
      "  zamsim --help | --version\n"
      "\n"
      "The socket is PATH, else $ZAMSIM_SOCKET, else zamsim-<uid>/zamsim.sock in the runtime\n"
      "folder ($XDG_RUNTIME_DIR, else $TMPDIR, else /tmp). PATH may be tcp:HOST:PORT: the lab on\n"
      "TCP (port 0 with start and run: any free port), serving only clients that prove its\n"
      "secret, read from the file $ZAMSIM_SECRET names, else tcp-PORT.secret beside the default\n"
      "socket.\n"
      "`run` starts a lab in a private folder of its own, runs the command with ZAMSIM_SOCKET\n"
      "(and on TCP ZAMSIM_SECRET) set, stops the lab and exits with the command's exit code;\n"
      "zamsim's own lines go to standard error, so standard output holds only the command's\n"
      "output.\n"
      "--usbredir PATH also serves the card's USB controller as a USB device over the\n"
      "usbredir protocol on the Unix socket PATH (for QEMU's usb-redir device).\n",
      to);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--version") {
    std::fputs(platform::version_line("zamsim").c_str(), stdout);
    return 0;
  }
  if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
    usage(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  zamsim::command_line cl;
  std::string error;
  if (!zamsim::parse_command_line(args, cl, error)) {
    std::fprintf(stderr, "zamsim: %s\n\n", error.c_str());
    usage(stderr);
    return 2;
  }
  return zamsim::run_command(cl);
}
