// A full discovery scan (bus 0-254, every device and function: 65,280 reads of 64 bytes) by
// the framework's FindDevice, through the driver interface library and fake drivers.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "fake_drivers.h"
#include "fault_provider.h"
#include "platform/devio.h"
#include "vexo.h"

ZAM_SHARE_DEVICE_PROVIDERS()

namespace {

constexpr int64_t reads_per_scan = 255 * 32 * 8;

void BM_FullDiscoveryScan(benchmark::State& state) {
  auto space = std::make_shared<pellor::fake::byte_array_config_space>();
  space->add_function({0, 0, 0}, 0x8086, 0x0001);
  space->add_bridge({0, 1, 0}, 1, 1);
  space->add_function({1, 0, 0}, 0x1234, 0x5678);
  pellor::fake::fake_drivers drivers(space);
  drivers.add_config_driver();
  drivers.record_requests(false);
  auto provider = std::make_shared<pellor::fake::fault_provider>(drivers.provider());
  platform::register_provider(provider);

  VEXO_HANDLE_t framework = nullptr;
  if (OpenVEXOEx(&framework, 0, VEXO_BENCH_PELLOR_FILE, 0, 0) != VEXO_STATUS_SUCCESS) {
    state.SkipWithError("the framework did not open");
  } else {
    for (auto _ : state) {
      // Absent IDs: the search reads every function of buses 0 to 254.
      VEXO_DEVICE_HANDLE_t dev = nullptr;
      benchmark::DoNotOptimize(FindDevice(static_cast<unsigned short>(0xDEAD),
                                          static_cast<unsigned short>(0xBEEF), &dev));
    }
    state.counters["reads_per_second"] =
        benchmark::Counter(static_cast<double>(reads_per_scan * state.iterations()),
                           benchmark::Counter::kIsRate);
  }
  CloseVEXO(framework);
  platform::unregister_provider(provider);
}
BENCHMARK(BM_FullDiscoveryScan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
