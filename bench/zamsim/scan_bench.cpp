// A full discovery scan (bus 0-254, device 0-31, function 0-7: 65,280 reads of 64 bytes)
// through Pellor's configuration table against the lab daemon (on the connection's shared
// channel, and kept on the socket), next to the same scan sent straight to the lab's
// configuration driver, and a bare socket round trip of the same request and answer sizes
// between two processes as the baseline.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "pellor/pellor.h"
#include "platform/lab_protocol.h"
#include "platform/devio.h"
#include "platform/library.h"
#include "platform/process.h"

namespace {

struct lab_session {
  std::string folder, socket;
  lab_session() {
    folder = platform::make_temp_folder("zamsim_bench_");
    socket = folder + "/zamsim.sock";
    std::string error;
    if (platform::run_program({ZAMSIM_EXE, "start", std::string(ZAMSIM_STATIONS) + "/default.station", "--socket",
                               socket},
                              {}, &error) != 0) {
      std::fprintf(stderr, "cannot start the lab: %s\n", error.c_str());
      std::exit(1);
    }
    platform::set_environment("ZAMSIM_SOCKET", socket);
  }
  ~lab_session() {
    platform::run_program({ZAMSIM_EXE, "stop", "--socket", socket}, {}, nullptr);
    std::filesystem::remove_all(folder);
  }
};

lab_session& session() {
  static lab_session s;
  return s;
}

// The scan through Pellor, with the lab connection on its shared channel (the default) or
// kept on the socket (`over_socket`, as ZAMSIM_CHANNEL=socket does), in the same run.
void scan_through_pellor(benchmark::State& state, bool over_socket) {
  session();
  if (over_socket) platform::set_environment("ZAMSIM_CHANNEL", "socket");
  platform::library_handle lib = platform::load_library("Pellor.dll");
  CONFIG_DRIVER_INTERFACE_t table{};
  reinterpret_cast<ConfigDriver_GetInterface_fn>(platform::find_symbol(lib, "ConfigDriver_GetInterface"))(&table);
  uint8_t buffer[64];
  int64_t reads = 0;
  for (auto _ : state) {
    int present = 0;
    for (uint32_t bus = 0; bus < 255; ++bus)
      for (uint32_t device = 0; device < 32; ++device)
        for (uint32_t function = 0; function < 8; ++function)
          if (table.ReadConfig(0, bus, device, function, 0, 64, buffer) == 64 && buffer[0] != 0xFF) ++present;
    benchmark::DoNotOptimize(present);
    reads += 65280;
  }
  state.counters["reads_per_second"] = benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kIsRate);
  platform::unload_library(lib);
  if (over_socket) platform::unset_environment("ZAMSIM_CHANNEL");
}

void BM_ScanThroughPellor(benchmark::State& state) { scan_through_pellor(state, false); }
void BM_ScanThroughPellorOverSocket(benchmark::State& state) { scan_through_pellor(state, true); }

void BM_ScanStraightToDriver(benchmark::State& state) {
  session();
  const auto handle = platform::open_device(platform::device_interfaces(platform::driver_class::config_space).at(0));
  PELLOR_CONFIG_PACKET_t packet;
  int64_t reads = 0;
  for (auto _ : state) {
    for (uint32_t n = 0; n < 65280; ++n) {
      packet.bus = n >> 8;
      packet.device = (n >> 3) & 31;
      packet.function = n & 7;
      packet.offset = 0;
      packet.length = 64;
      uint32_t returned = 0;
      platform::device_control(handle, PELLOR_IOCTL_CONFIG_READ, &packet, sizeof packet, &packet, sizeof packet, &returned);
    }
    reads += 65280;
  }
  state.counters["reads_per_second"] = benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kIsRate);
  platform::close_device(handle);
}

#ifndef _WIN32
// Moves exactly `size` bytes over a stream socket; false when the peer is gone.
bool move_bytes(int fd, uint8_t* bytes, std::size_t size, bool sending) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = sending ? ::write(fd, bytes + done, size - done) : ::read(fd, bytes + done, size - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The floor under the lab: a second process that answers every request of a configuration
// read's frame size with an answer of its size, over a Unix stream socket pair.
void BM_BareTwoProcessRoundTrip(benchmark::State& state) {
  constexpr std::size_t request_size = platform::lab::request_header_size + sizeof(PELLOR_CONFIG_PACKET_t);
  constexpr std::size_t answer_size = platform::lab::answer_header_size + sizeof(PELLOR_CONFIG_PACKET_t);
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    static uint8_t request[request_size], answer[answer_size];
    while (move_bytes(fds[1], request, request_size, false) && move_bytes(fds[1], answer, answer_size, true)) {
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  static uint8_t request[request_size], answer[answer_size];
  int64_t reads = 0;
  for (auto _ : state) {
    for (uint32_t n = 0; n < 65280; ++n) {
      if (!move_bytes(fds[0], request, request_size, true) || !move_bytes(fds[0], answer, answer_size, false)) {
        state.SkipWithError("the answering process went away");
        break;
      }
    }
    reads += 65280;
  }
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  state.counters["reads_per_second"] = benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareTwoProcessRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

BENCHMARK(BM_ScanStraightToDriver)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanThroughPellorOverSocket)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanThroughPellor)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
