// Requests per second through the run loop (zamlib, the in-process card, the engine), with
// the packet logs on and off, against the engine alone on the same requests.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "card_interface.h"
#include "card_standin.h"
#include "hardware_binding.h"
#include "lattix/packet_handler.h"
#include "lattix/script_parser.h"
#include "lattix/topology.h"
#include "request_loop.h"
#include "vexomin.h"

namespace {

constexpr int requests_per_pass = 1000;

// The requests of one pass: reads of every header dword of the first bus's slots, ended by
// the firmware's stop marker.
std::vector<std::vector<uint32_t>> pass_requests() {
  std::vector<std::vector<uint32_t>> requests;
  for (int i = 0; requests.size() < requests_per_pass; ++i) {
    requests.push_back(zamlib_testing::config_read(0, (i / 16) % 4, 0, (i % 16) * 4, i & 0xFF));
  }
  requests.push_back(zamlib_testing::config_write(0, 0, 0, 0xFC, 0, 0, 0xF));
  return requests;
}

struct hierarchy {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* built = nullptr;
  packetHandler* handler = nullptr;
  hierarchy() { scriptParser(FWTOOL_BENCH_SCRIPT, devices, connections, count, built, handler); }
  ~hierarchy() {
    delete handler;
    delete built;
  }
};

// zamlib's calls bound the way the tool binds the library's exports.
zamlib::card_interface* bound_card = nullptr;
uint32_t bench_init(uint32_t timeout) { return bound_card->init(timeout); }
uint32_t bench_close() { return bound_card->close(); }
uint32_t bench_read(uint32_t size, uint32_t timeout, uint32_t* bytes, uint32_t* buffer) {
  return bound_card->read_request(size, timeout, bytes, buffer);
}
uint32_t bench_write(const uint32_t* completion, uint32_t length, uint32_t timeout) {
  return bound_card->write_completion(completion, length, timeout);
}

void run_loop(benchmark::State& state, bool logs_on) {
  hierarchy h;
  zamlib_testing::card_standin card;
  const auto requests = pass_requests();
  const auto folder = std::filesystem::temp_directory_path();
  std::FILE* pktlog = logs_on ? std::fopen((folder / "fwtool_bench_pktlog.txt").c_str(), "w") : nullptr;
  zamlib::usb_link link;
  zamlib::packet_log log([pktlog](const std::string& text) {
    if (pktlog != nullptr) std::fwrite(text.data(), 1, text.size(), pktlog);
  });
  zamlib::card_interface card_side(link, log);
  bound_card = &card_side;
  fwtool::hardware_interface hardware;
  hardware.use(bench_init, bench_close, bench_read, bench_write);
  VEXO_LOG_HANDLE_t trace = nullptr;
  if (logs_on) CreateLog(nullptr, &trace, VEXO_LOG_TYPE_RAW_TEXT, (folder / "fwtool_bench.packets").c_str(), 0);
  fwtool::run_settings settings;
  settings.automated = true;
  hardware.init(0);
  for (auto _ : state) {
    state.PauseTiming();
    for (const auto& r : requests) card.queue_request(r);
    state.ResumeTiming();
    const auto outcome = fwtool::serve_requests(settings, hardware, *h.handler, nullptr, trace);
    benchmark::DoNotOptimize(outcome);
  }
  hardware.close();
  if (trace != nullptr) CloseLog(trace);
  if (pktlog != nullptr) std::fclose(pktlog);
  std::filesystem::remove(folder / "fwtool_bench_pktlog.txt");
  std::filesystem::remove(folder / "fwtool_bench.packets");
  state.counters["requests_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * requests_per_pass), benchmark::Counter::kIsRate);
}

void BM_RunLoopLogsOn(benchmark::State& state) { run_loop(state, true); }
void BM_RunLoopLogsOff(benchmark::State& state) { run_loop(state, false); }

// Baseline: the engine alone answering the same requests.
void BM_EngineAlone(benchmark::State& state) {
  hierarchy h;
  const auto requests = pass_requests();
  for (auto _ : state) {
    for (int i = 0; i < requests_per_pass; ++i) {
      uint32_t* completion = h.handler->handle(requests[i].data());
      benchmark::DoNotOptimize(completion);
      releaseCompletion(completion);
    }
  }
  state.counters["requests_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * requests_per_pass), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_EngineAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunLoopLogsOff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunLoopLogsOn)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
