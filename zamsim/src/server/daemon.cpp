// zamsim's commands: start (in the background or the foreground), stop, status, show, run.
#include "server/daemon.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "server/lab_server.h"
#ifdef ZAM_HAVE_USBREDIR
#include "usb/usbredir_device.h"
#endif
#include "base/lattix_hierarchy.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ipc.h"
#include "platform/lab_client.h"
#include "platform/pid_file.h"
#include "platform/process.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;

// The daemon's pid file beside its socket.
std::string pid_file_of(const std::string& socket) { return socket + ".pid"; }

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Builds and boots the station; nullptr with `error` set on failure.
std::unique_ptr<lab_station> build_station(const std::string& station_file, std::string& error) {
  const auto config = load_station(station_file, error);
  if (!config) return nullptr;
  for (const auto& warning : config->warnings) std::fprintf(stderr, "zamsim: warning: %s\n", warning.c_str());
  auto tree = make_lattix_hierarchy(config->topology_path, error);
  if (!tree) return nullptr;
  auto station = std::make_unique<lab_station>(*config, std::move(tree));
  if (!station->boot(error)) return nullptr;
  return station;
}

// Serves until stopped; `ready` is called once the socket listens.
int serve(lab_station& station, const std::string& socket, const std::string& usbredir,
          const std::function<void()>& ready) {
  platform::catch_stop_signals();
  lab_server server(station);
  std::string error;
  if (!server.listen(socket, error)) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
#ifdef ZAM_HAVE_USBREDIR
  // The same USB controller the lab protocol reaches, as a device on a USB bus.
  usbredir_server usb_device(station.usb());
  if (!usbredir.empty()) {
    if (!usb_device.listen(usbredir, error)) {
      std::fprintf(stderr, "zamsim: %s\n", error.c_str());
      return 1;
    }
    usb_device.start();
  }
#endif
  // Names this daemon beside its socket, so that `zamsim stop` finds it even when the
  // socket has been removed.
  const platform::pid_file pid(pid_file_of(socket), &error);
  if (!pid.valid())
    std::fprintf(stderr, "zamsim: warning: cannot write %s (%s)\n", pid_file_of(socket).c_str(), error.c_str());
  std::printf("zamsim: station %s booted (%d buses, %d functions, %d BARs); listening on %s\n",
              station.config().name.c_str(), station.boot_report().buses, station.boot_report().functions,
              station.boot_report().bars, socket.c_str());
  for (const auto& warning : station.boot_report().warnings) std::printf("zamsim: firmware: %s\n", warning.c_str());
  if (!usbredir.empty()) std::printf("zamsim: the card's USB controller on usbredir socket %s\n", usbredir.c_str());
  std::fflush(stdout);
  ready();
  server.serve();
  std::printf("zamsim: stopped\n");
  std::fflush(stdout);
  return 0;
}

// `report` takes zamsim's own lines: standard output for a plain start, standard error
// under `run`, whose standard output belongs to the command.
int start(const command_line& cl, std::FILE* report = stdout) {
  std::string error;
  if (!platform::make_private_folder(folder_of(cl.socket), &error)) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  if (platform::connect_local(cl.socket).valid()) {
    std::fprintf(stderr, "zamsim: a lab is already running on %s (zamsim stop first)\n", cl.socket.c_str());
    return 1;
  }
  // A daemon whose socket was removed still runs: a second one on the same path would hide it.
  if (const int pid = platform::live_pid_file_owner(pid_file_of(cl.socket)); pid > 0) {
    std::fprintf(stderr, "zamsim: the lab daemon %d of %s still runs, its socket removed (zamsim stop first)\n", pid,
                 cl.socket.c_str());
    return 1;
  }
  // Build before going to the background, so that station errors reach the user.
  auto station = build_station(cl.station, error);
  if (!station) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  if (cl.foreground) return serve(*station, cl.socket, cl.usbredir, cl.detached_for != 0 ? std::function<void()>(platform::daemon_ready) : [] {});
  const std::string log = cl.socket + ".log";
#ifdef _WIN32
  // No fork here: this program again, detached, serves in the foreground and says when it
  // listens.
  const int pid = platform::start_detached(
      platform::join_path(platform::program_folder(), platform::program_file_name("zamsim")),
      {"start", cl.station, "--socket", cl.socket, "--detached-for",
       std::to_string(platform::current_process_id())},
      log, 10000, &error);
#else
  const int pid = platform::start_daemon(
      [&](const std::function<void()>& ready) { return serve(*station, cl.socket, cl.usbredir, ready); }, log, 10000, &error);
#endif
  if (pid < 0) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(report, "zamsim: lab started (pid %d), socket %s, log %s\n", pid, cl.socket.c_str(), log.c_str());
  return 0;
}

int simple_request(const command_line& cl, lab::operation op, std::FILE* report = stdout) {
  platform::lab_client client(cl.socket);
  std::string text;
  const uint32_t status = client.call_text(op, "", text);
  if (status != 0) {
    std::fprintf(stderr, "zamsim: no lab answers on %s\n", cl.socket.c_str());
    return 1;
  }
  std::fputs(text.c_str(), report);
  return 0;
}

// A daemon that no longer answers on its socket (the socket file was removed) is asked to
// stop through the process id of its pid file.
int stop_without_socket(const command_line& cl, std::FILE* report) {
  const std::string pid_path = pid_file_of(cl.socket);
  const int pid = platform::live_pid_file_owner(pid_path);
  if (pid <= 0) {
    std::fprintf(stderr, "zamsim: no lab answers on %s\n", cl.socket.c_str());
    return 1;
  }
  if (!platform::request_stop(pid)) {
    std::fprintf(stderr, "zamsim: no lab answers on %s, and the lab daemon %d of %s cannot be stopped\n",
                 cl.socket.c_str(), pid, pid_path.c_str());
    return 1;
  }
  for (int i = 0; i < 200 && platform::live_pid_file_owner(pid_path) == pid; ++i) platform::sleep_ms(50);
  if (platform::live_pid_file_owner(pid_path) == pid) {
    std::fprintf(stderr, "zamsim: the lab daemon %d of %s did not stop within 10 s\n", pid, pid_path.c_str());
    return 1;
  }
  std::fprintf(report, "zamsim: no lab answers on %s; stopped the lab daemon %d named by %s\n", cl.socket.c_str(),
               pid, pid_path.c_str());
  return 0;
}

int stop(const command_line& cl, std::FILE* report = stdout) {
  if (!platform::connect_local(cl.socket).valid()) return stop_without_socket(cl, report);
  const int result = simple_request(cl, lab::operation::stop, report);
  if (result != 0) return result;
  // Wait until the daemon has let go of its socket, so a new start can follow at once.
  for (int i = 0; i < 100 && platform::connect_local(cl.socket).valid(); ++i) platform::sleep_ms(50);
  return 0;
}

int run(const command_line& cl) {
  const std::string folder = platform::make_temp_folder("zamsim-run-");
  if (folder.empty()) {
    std::fprintf(stderr, "zamsim: cannot create a private folder for the lab\n");
    return 1;
  }
  command_line start_cl = cl;
  // A run gets a lab of its own, so runs side by side never share one.
  start_cl.socket = cl.socket_given ? cl.socket : folder + "/zamsim.sock";
  start_cl.foreground = false;
  if (start(start_cl, stderr) != 0) {
    std::filesystem::remove_all(folder);
    return 1;
  }
  std::string error;
  // A stop signal goes on to the command, and its lab is still stopped.
  platform::catch_stop_signals();
  const int code = platform::run_program(cl.program, {{"ZAMSIM_SOCKET", start_cl.socket}}, &error);
  if (code < 0) std::fprintf(stderr, "zamsim: %s\n", error.c_str());
  stop(start_cl, stderr);
  std::filesystem::remove_all(folder);
  if (platform::stop_requested()) return 128 + platform::stop_signal();
  return code < 0 ? 127 : code;
}

}  // namespace

std::string default_socket_path() {
  return platform::runtime_directory() + "/zamsim-" + std::to_string(platform::current_user_id()) + "/zamsim.sock";
}

bool parse_command_line(const std::vector<std::string>& args, command_line& out, std::string& error) {
  out = command_line{};
  out.command = args.at(0);
  const bool takes_station = out.command == "start" || out.command == "run";
  if (!takes_station && out.command != "stop" && out.command != "status" && out.command != "show" &&
      out.command != "power-cycle-card") {
    error = "unknown command \"" + out.command + "\"";
    return false;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      if (out.command != "run") {
        error = "\"--\" belongs to zamsim run";
        return false;
      }
      out.program.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (a == "--socket") {
      if (i + 1 >= args.size()) {
        error = "--socket needs a path";
        return false;
      }
      out.socket = args[++i];
      out.socket_given = true;
    } else if (a == "--usbredir" && takes_station) {
      if (i + 1 >= args.size()) {
        error = "--usbredir needs a path";
        return false;
      }
#ifndef ZAM_HAVE_USBREDIR
      error = "--usbredir: this zamsim was built without libusbredirparser";
      return false;
#endif
      // Absolute, since the daemon in the background need not stay in this folder.
      out.usbredir = std::filesystem::absolute(args[++i]).string();
    } else if (a == "--foreground" && out.command == "start") {
      out.foreground = true;
    } else if (a == "--detached-for" && out.command == "start" && i + 1 < args.size()) {
      // Not for users: the daemon that `start` on Windows runs, its starter's process id.
      out.detached_for = std::atoi(args[++i].c_str());
      out.foreground = out.detached_for > 0;
      if (!out.foreground) {
        error = "--detached-for needs a process id";
        return false;
      }
    } else if (takes_station && out.station.empty() && a.rfind("--", 0) != 0) {
      out.station = a;
    } else {
      error = "unexpected argument \"" + a + "\"";
      return false;
    }
  }
  if (takes_station && out.station.empty()) {
    error = "zamsim " + out.command + " needs a station file";
    return false;
  }
  if (out.command == "run" && out.program.empty()) {
    error = "zamsim run needs a command after \"--\"";
    return false;
  }
  if (out.socket.empty()) out.socket = platform::get_environment("ZAMSIM_SOCKET");
  if (out.socket.empty()) out.socket = default_socket_path();
  return true;
}

int run_command(const command_line& cl) {
  if (cl.command == "start") return start(cl);
  if (cl.command == "stop") return stop(cl);
  if (cl.command == "status") return simple_request(cl, lab::operation::status);
  if (cl.command == "show") return simple_request(cl, lab::operation::show);
  if (cl.command == "power-cycle-card") return simple_request(cl, lab::operation::power_cycle_card);
  return run(cl);
}

}  // namespace zamsim
