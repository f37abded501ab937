// zamsim's commands: start (in the background or the foreground), stop, status, show, run.
#include "server/daemon.h"

#include <cstdio>
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
#include "platform/lab_secret.h"
#include "platform/pid_file.h"
#include "platform/process.h"

namespace zamsim {
namespace {

namespace lab = platform::lab;

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Where a lab keeps its files. A local socket's lab keeps them beside the socket; a TCP
// lab in its state folder, named after the port: tcp-PORT.pid, .log, .secret (the secret
// where clients look for it by default). A lab asked for any free port names its log and
// its address report after the starting process, since the port is not known yet.
struct lab_files {
  std::string folder, pid, log, secret;
  std::string address_report;  // TCP: the daemon writes the address it got here
};

lab_files files_of(const command_line& cl, const std::string& address) {
  lab_files files;
  if (!platform::is_tcp_address(address)) {
    files.folder = folder_of(address);
    files.pid = address + ".pid";
    files.log = address + ".log";
    return files;
  }
  files.folder = cl.state_folder.empty() ? folder_of(default_socket_path()) : cl.state_folder;
  platform::tcp_endpoint endpoint;
  platform::parse_tcp_address(address, endpoint, true);
  const std::string base = files.folder + "/tcp-" +
                           (endpoint.port == 0 ? "any-" + std::to_string(platform::current_process_id())
                                               : std::to_string(endpoint.port));
  files.pid = base + ".pid";
  files.log = base + ".log";
  files.secret = base + ".secret";
  files.address_report = base + ".address";
  return files;
}

bool on_loopback(const std::string& tcp_address) {
  platform::tcp_endpoint endpoint;
  return platform::parse_tcp_address(tcp_address, endpoint, true) && endpoint.host.rfind("127.", 0) == 0;
}

std::string wide_listen_warning(const std::string& address) {
  return "zamsim: warning: listening on " + address +
         ", which other machines can reach; only the lab's secret keeps them out\n";
}

// The first line of a small file, without its line end; empty when it cannot be read.
std::string slurp_line(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  char buffer[512] = {};
  const bool got = std::fgets(buffer, sizeof buffer, file) != nullptr;
  std::fclose(file);
  std::string line = got ? buffer : "";
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
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

// Serves until stopped; `ready` is called once the socket listens. A TCP lab makes a fresh
// secret, writes it for its clients and removes it when it stops.
int serve(lab_station& station, const command_line& cl, const lab_files& requested, const std::function<void()>& ready) {
  const std::string& usbredir = cl.usbredir;
  platform::catch_stop_signals();
  lab_server server(station);
  std::string error;
  if (!server.listen(cl.socket, error)) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  const lab_files files = files_of(cl, server.address());
  std::string where = server.address();
  if (server.on_tcp()) {
    if (!server.on_loopback()) std::fputs(wide_listen_warning(server.address()).c_str(), stderr);
    platform::lab::secret secret{};
    if (!platform::lab::make_secret(secret, &error) ||
        !platform::write_private_file(files.secret, platform::lab::secret_text(secret), &error)) {
      std::fprintf(stderr, "zamsim: cannot write the lab's secret: %s\n", error.c_str());
      return 1;
    }
    server.require_secret(secret, files.secret);
    where += ", secret in " + files.secret;
  }
  // Removes the secret file however serving ends.
  std::unique_ptr<const std::string, void (*)(const std::string*)> secret_file(
      server.on_tcp() ? &files.secret : nullptr, [](const std::string* path) {
        std::error_code ignored;
        std::filesystem::remove(*path, ignored);
      });
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
  const platform::pid_file pid(files.pid, &error);
  if (!pid.valid())
    std::fprintf(stderr, "zamsim: warning: cannot write %s (%s)\n", files.pid.c_str(), error.c_str());
  std::printf("zamsim: station %s booted (%d buses, %d functions, %d BARs); listening on %s\n",
              station.config().name.c_str(), station.boot_report().buses, station.boot_report().functions,
              station.boot_report().bars, where.c_str());
  for (const auto& warning : station.boot_report().warnings) std::printf("zamsim: firmware: %s\n", warning.c_str());
  if (!usbredir.empty()) std::printf("zamsim: the card's USB controller on usbredir socket %s\n", usbredir.c_str());
  std::fflush(stdout);
  // The starting process learns the address (and with it a port picked for us) from here.
  if (!requested.address_report.empty() &&
      !platform::write_private_file(requested.address_report, server.address() + "\n", &error)) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  ready();
  server.serve();
  // Before the pid file goes: `zamsim stop` takes its removal for the end of the daemon.
  secret_file.reset();
  std::printf("zamsim: stopped\n");
  std::fflush(stdout);
  return 0;
}

// `report` takes zamsim's own lines: standard output for a plain start, standard error
// under `run`, whose standard output belongs to the command.
// `address` receives where the lab listens (for TCP, the port it got).
int start(const command_line& cl, std::FILE* report = stdout, std::string* address = nullptr) {
  std::string error;
  const bool tcp = platform::is_tcp_address(cl.socket);
  const lab_files files = files_of(cl, cl.socket);
  platform::tcp_endpoint endpoint;
  const bool any_port = tcp && platform::parse_tcp_address(cl.socket, endpoint, true) && endpoint.port == 0;
  if (!platform::make_private_folder(files.folder, &error)) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  if (!any_port && platform::connect_stream(cl.socket).valid()) {
    std::fprintf(stderr, "zamsim: a lab is already running on %s (zamsim stop first)\n", cl.socket.c_str());
    return 1;
  }
  // A daemon whose socket was removed still runs: a second one on the same path would hide it.
  if (const int pid = any_port ? 0 : platform::live_pid_file_owner(files.pid); pid > 0) {
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
  if (cl.foreground) return serve(*station, cl, lab_files{}, [] {});
  const std::string& log = files.log;
  const int pid = platform::start_daemon(
      [&](const std::function<void()>& ready) { return serve(*station, cl, files, ready); }, log, 10000, &error);
  if (pid < 0) {
    std::fprintf(stderr, "zamsim: %s\n", error.c_str());
    return 1;
  }
  if (!tcp) {
    std::fprintf(report, "zamsim: lab started (pid %d), socket %s, log %s\n", pid, cl.socket.c_str(), log.c_str());
    if (address) *address = cl.socket;
    return 0;
  }
  std::string listening = slurp_line(files.address_report);
  std::error_code ignored;
  std::filesystem::remove(files.address_report, ignored);
  if (!platform::is_tcp_address(listening)) {
    std::fprintf(stderr, "zamsim: the lab daemon %d did not say where it listens (%s)\n", pid,
                 files.address_report.c_str());
    platform::request_stop(pid);
    return 1;
  }
  if (!on_loopback(listening)) std::fputs(wide_listen_warning(listening).c_str(), stderr);
  std::fprintf(report, "zamsim: lab started (pid %d), listening on %s, secret in %s, log %s\n", pid,
               listening.c_str(), files_of(cl, listening).secret.c_str(), log.c_str());
  if (address) *address = listening;
  return 0;
}

int simple_request(const command_line& cl, lab::operation op, std::FILE* report = stdout) {
  platform::lab_client client(cl.socket, cl.secret);
  std::string text;
  const uint32_t status = client.call_text(op, "", text);
  if (status != 0) {
    // Over TCP the reason matters: a missing or wrong secret is not a missing lab.
    const std::string why = client.connect_error();
    if (platform::is_tcp_address(cl.socket) && !why.empty()) {
      std::fprintf(stderr, "zamsim: no lab answers on %s (%s)\n", cl.socket.c_str(), why.c_str());
    } else {
      std::fprintf(stderr, "zamsim: no lab answers on %s\n", cl.socket.c_str());
    }
    return 1;
  }
  std::fputs(text.c_str(), report);
  return 0;
}

// A daemon that no longer answers on its socket (the socket file was removed) is asked to
// stop through the process id of its pid file.
int stop_without_socket(const command_line& cl, std::FILE* report) {
  const std::string pid_path = files_of(cl, cl.socket).pid;
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
  if (!platform::connect_stream(cl.socket).valid()) return stop_without_socket(cl, report);
  const int result = simple_request(cl, lab::operation::stop, report);
  if (result != 0) return result;
  // Wait until the daemon has let go of its socket, so a new start can follow at once. A TCP
  // daemon is watched through its pid file: probing its port would only add to its log.
  if (platform::is_tcp_address(cl.socket)) {
    const std::string pid_path = files_of(cl, cl.socket).pid;
    for (int i = 0; i < 100 && platform::live_pid_file_owner(pid_path) > 0; ++i) platform::sleep_ms(50);
  } else {
    for (int i = 0; i < 100 && platform::connect_local(cl.socket).valid(); ++i) platform::sleep_ms(50);
  }
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
  start_cl.state_folder = folder;  // a TCP lab's files, the secret among them, are the run's own
  std::string address;
  if (start(start_cl, stderr, &address) != 0) {
    std::filesystem::remove_all(folder);
    return 1;
  }
  // From here on the lab is named by where it listens (a TCP port picked for it included).
  start_cl.socket = address;
  std::vector<std::pair<std::string, std::string>> environment{{"ZAMSIM_SOCKET", address}};
  if (platform::is_tcp_address(address)) {
    start_cl.secret = files_of(start_cl, address).secret;
    environment.emplace_back("ZAMSIM_SECRET", start_cl.secret);
  }
  std::string error;
  // A stop signal goes on to the command, and its lab is still stopped.
  platform::catch_stop_signals();
  const int code = platform::run_program(cl.program, environment, &error);
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
  platform::tcp_endpoint endpoint_check;
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
  // Only a lab being started may ask for any free port (tcp:HOST:0).
  if (platform::is_tcp_address(out.socket) && !platform::parse_tcp_address(out.socket, endpoint_check, takes_station, &error)) {
    error = (out.socket_given ? "--socket: " : "ZAMSIM_SOCKET: ") + error;
    return false;
  }
  out.secret = platform::get_environment("ZAMSIM_SECRET");
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
