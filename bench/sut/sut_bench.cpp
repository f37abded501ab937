// Configuration requests per second along the whole firmware-test path (the SUT's firmware
// in the lab daemon, the card's bulk pipes, zamlib, fwtool, the engine) for one large
// catalogue case, next to bare requests to the same daemon as the baseline; and the wall
// time of the whole catalogue run automated from fwtool's menus.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/child_run.h"
#include "platform/lab_client.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* large_case = "FunctionTopologyCases/Case_1_2_Max_Topology_Various_Requests.test";

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_text(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// A bench folder as fwtool expects it (ini, zamlib, the catalogue) and a lab running the
// sut station with a correct firmware.
struct sut_lab {
  fs::path folder;
  std::string socket;
  bool ready = false;

  sut_lab() {
    if (platform::get_environment("ZAM_TIME_SCALE").empty()) platform::set_environment("ZAM_TIME_SCALE", "0.01");
    folder = platform::make_temp_folder("sut_bench_");
    socket = (folder / "zamsim.sock").string();
    fs::create_directories(folder / "ini");
    fs::copy(FWTOOL_TESTS, folder / "Tests", fs::copy_options::recursive);
    fs::copy_file(ZAMLIB_FILE, folder / fs::path(ZAMLIB_FILE).filename());
    write_text(folder / "ini" / "ORVENapp.ini",
               "[DLL]\nDLLName = zamlib.dll\n[TimingParameters]\nDriverInitTimeout = 3000\n"
               "FirstRequestTimeout = 3000\nTrafficStopTimeout = 3000\n[CustomOptions]\nAutomateRunAll = 1\n"
               "PromptUserToPowerSystem = 0\n");
    // The station names its topology beside itself; the copy names the original.
    std::istringstream station(read_text(fs::path(ZAMSIM_STATIONS) / "sut.station"));
    std::string line, copy;
    const std::string topology = std::string(ZAMSIM_STATIONS) + "/sut.test";
    while (std::getline(station, line)) {
      if (line.rfind("Topology =", 0) == 0) line = "Topology = " + topology;
      if (line.rfind("RootComplex =", 0) == 0) line = "RootComplex = " + topology;
      copy += line + "\n";
    }
    write_text(folder / "sut.station", copy);
    std::string error;
    ready = platform::run_program({ZAMSIM_EXE, "start", (folder / "sut.station").string(), "--socket", socket}, {},
                                  &error) == 0;
    if (!ready) std::fprintf(stderr, "cannot start the lab: %s\n", error.c_str());
  }
  ~sut_lab() {
    platform::run_program({ZAMSIM_EXE, "stop", "--socket", socket}, {}, nullptr);
    fs::remove_all(folder);
  }

  platform::child_run_result fwtool(const std::vector<std::string>& args, const platform::environment_list& env) {
    std::vector<std::string> argv{FWTOOL_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::child_run_options options;
    options.working_folder = folder.string();
    options.output_path = (folder / "fwtool.out").string();
    options.input_from_null = true;
    options.extra_environment = env;
    options.extra_environment.push_back({"ZAMSIM_SOCKET", socket});
    options.timeout_ms = 600000;
    return platform::run_child(argv, options);
  }
};

sut_lab& lab() {
  static sut_lab l;
  return l;
}

// Baseline: the lab's status request, one round trip to the daemon that does no work. Each
// configuration request of the whole path needs at least two (read it, send its answer).
void BM_BareDaemonRoundTrip(benchmark::State& state) {
  if (!lab().ready) return state.SkipWithError("no lab");
  platform::lab_client client(lab().socket);
  char status[256];
  int64_t trips = 0;
  for (auto _ : state) {
    for (int n = 0; n < 1000; ++n) {
      uint32_t returned = 0;
      if (client.call(platform::lab::operation::status, 0, 0, nullptr, 0, status, sizeof status, returned, 1000) != 0) {
        return state.SkipWithError("no answer");
      }
    }
    trips += 1000;
  }
  state.counters["round_trips_per_second"] = benchmark::Counter(static_cast<double>(trips), benchmark::Counter::kIsRate);
}

// One automated run of the large case from fwtool's command line: start-up, the firmware's
// whole enumeration through the card, the checks. Requests are those fwtool answered (the
// packet log's entries) plus the stop marker.
void BM_LargeCaseThroughTheLab(benchmark::State& state) {
  if (!lab().ready) return state.SkipWithError("no lab");
  int64_t requests = 0;
  for (auto _ : state) {
    const auto run = lab().fwtool({std::string("Tests/") + large_case, "Bench Case"}, {{"ZAM_OPERATOR", "auto"}});
    if (!run.started || run.exit_code != 0) return state.SkipWithError("the case did not pass");
    requests += static_cast<int64_t>(count_of(read_text(lab().folder / "logs" / "Bench Case.packets"), "Received: ")) + 1;
  }
  state.counters["requests_per_case"] = static_cast<double>(requests) / static_cast<double>(state.iterations());
  state.counters["requests_per_second"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
}

// The whole catalogue automated from the menus: main menu "Run All Tests", each of the six
// results lists acknowledged, then Exit. Reports the wall time and the cases recorded.
void BM_WholeCatalogueAutomated(benchmark::State& state) {
  if (!lab().ready) return state.SkipWithError("no lab");
  const fs::path answers = lab().folder / "menu_answers.txt";
  write_text(answers, "1\n1\n1\n1\n1\n1\n1\n10\n");
  fs::remove_all(lab().folder / "Logs");  // the main log counts this run's cases alone
  double seconds = 0;
  for (auto _ : state) {
    const auto run = lab().fwtool({}, {{"ZAM_OPERATOR", "script:" + answers.string()}});
    if (!run.started || run.exit_code != 0) return state.SkipWithError("the menus did not end cleanly");
    seconds += run.elapsed_ms / 1000.0;
  }
  const std::string log = read_text(lab().folder / "Logs" / "ORVENLog.txt");
  state.counters["cases_run"] = static_cast<double>(count_of(log, "Stopping Test: ")) / static_cast<double>(state.iterations());
  state.counters["seconds"] = seconds / static_cast<double>(state.iterations());
}

BENCHMARK(BM_BareDaemonRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LargeCaseThroughTheLab)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WholeCatalogueAutomated)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
