// A full discovery-style scan (every BDF but bus 255, 64 bytes each) through the
// configuration table, against a direct device-control baseline over the same fake driver.
#include <benchmark/benchmark.h>

#include <memory>

#include "fake_drivers.h"
#include "fault_provider.h"
#include "pellor/pellor.h"
#include "lifecycle.h"
#include "platform/devio.h"

namespace {

constexpr uint32_t header_bytes = 64;
constexpr int64_t reads_per_scan = 255 * 32 * 8;  // 65,280

// A small hierarchy: a root port, a switch and a few endpoints; everything else reads as
// all ones, as on a real station.
struct bench_station {
  std::shared_ptr<pellor::fake::byte_array_config_space> space =
      std::make_shared<pellor::fake::byte_array_config_space>();
  pellor::fake::fake_drivers drivers{space};
  std::shared_ptr<pellor::fake::fault_provider> provider;

  bench_station() {
    space->add_function({0, 0, 0}, 0x8086, 0x0001);
    space->add_bridge({0, 1, 0}, 1, 3);
    space->add_bridge({1, 0, 0}, 2, 3);
    space->add_function({2, 0, 0}, 0x1234, 0x5678);
    space->add_function({3, 0, 0}, 0x1234, 0x5679);
    drivers.add_config_driver();
    drivers.record_requests(false);
    provider = std::make_shared<pellor::fake::fault_provider>(drivers.provider());
    platform::register_provider(provider);
  }
  ~bench_station() { platform::unregister_provider(provider); }
};

void BM_DiscoveryScanThroughPellor(benchmark::State& state) {
  bench_station station;
  pellor::initialise();  // prints the discovery warnings once
  CONFIG_DRIVER_INTERFACE_t table{};
  ConfigDriver_GetInterface(&table);
  uint8_t header[header_bytes];
  int64_t present = 0;
  for (auto _ : state) {
    for (uint32_t bus = 0; bus < 255; ++bus) {
      for (uint32_t device = 0; device < 32; ++device) {
        for (uint32_t function = 0; function < 8; ++function) {
          if (table.ReadConfig(0, bus, device, function, 0, header_bytes, header) ==
                  header_bytes &&
              (header[0] != 0xFF || header[1] != 0xFF)) {
            ++present;
          }
        }
      }
    }
    benchmark::DoNotOptimize(present);
  }
  pellor::close();
  state.counters["reads_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * reads_per_scan),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DiscoveryScanThroughPellor)->Unit(benchmark::kMillisecond);

// Baseline: the same requests sent straight to the fake driver, without the library.
void BM_DiscoveryScanDirectRequests(benchmark::State& state) {
  bench_station station;
  const auto paths = platform::device_interfaces(platform::driver_class::config_space);
  const platform::device_handle handle = platform::open_device(paths.front());
  PELLOR_CONFIG_PACKET_t packet{};
  for (auto _ : state) {
    for (uint32_t bus = 0; bus < 255; ++bus) {
      for (uint32_t device = 0; device < 32; ++device) {
        for (uint32_t function = 0; function < 8; ++function) {
          packet.bus = bus;
          packet.device = device;
          packet.function = function;
          packet.offset = 0;
          packet.length = header_bytes;
          uint32_t returned = 0;
          platform::device_control(handle, PELLOR_IOCTL_CONFIG_READ, &packet, sizeof packet,
                                   &packet, sizeof packet, &returned);
        }
      }
    }
    benchmark::DoNotOptimize(packet);
  }
  platform::close_device(handle);
  state.counters["reads_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * reads_per_scan),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DiscoveryScanDirectRequests)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
