// Benchmarks of the topology engine: ordinary register access and building a 500-device script.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lattix/lattix.h"

namespace {

void BM_Write4Read4(benchmark::State& state) {
  endPoint ep;
  uint32_t value = 0;
  for (auto _ : state) {
    ep.write4(0, 0x3C, value++);
    benchmark::DoNotOptimize(ep.read4(0, 0x3C));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Write4Read4);

// Baseline in the same run: a plain byte-array store and load.
void BM_ByteArrayBaseline(benchmark::State& state) {
  uint8_t space[4096] = {};
  uint32_t value = 0;
  for (auto _ : state) {
    for (int i = 0; i < 4; ++i) space[0x3C + i] = static_cast<uint8_t>(value >> (8 * i));
    ++value;
    benchmark::DoNotOptimize(space[0x3C] | space[0x3D] << 8);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ByteArrayBaseline);

// A root switch with 21 ports, 20 switches with 4 ports each below it, and endpoints
// with BARs and capabilities below those ports: 1 + 21 + 20 + 80 + 378 = 500 devices.
std::string largeScript() {
  std::string text = "[Device 1 Function 0]\nDeviceType = PCIExpressSwitch\nNumberPorts = 21\n";
  int next = 100;
  int endpointsLeft = 378;
  std::vector<int> endpoints;
  for (int sw = 0; sw < 20; ++sw) {
    text += "Bridge." + std::to_string(sw + 2) + " = " + std::to_string(next) + ",\n";
    const int swNumber = next++;
    text += "[Device " + std::to_string(swNumber) + " Function 0]\n";
    text += "DeviceType = PCIExpressSwitch\nVENDORID = 0x8086\nNumberPorts = 4\n";
    for (int port = 0; port < 4; ++port) {
      text += "Bridge." + std::to_string(port + 2) + " = ";
      const int here = endpointsLeft < 5 ? endpointsLeft : 5;
      for (int e = 0; e < here; ++e) {
        text += std::to_string(next + e) + ",";
        endpoints.push_back(next + e);
      }
      text += "\n";
      next += here;
      endpointsLeft -= here;
    }
    text += "[Device 1 Function 0]\n";
  }
  for (int ep : endpoints) {
    text += "[Device " + std::to_string(ep) + " Function 0]\n";
    text += "Bar1.type = mem64\nBar1.size = 1mb\nBar3.type = IO\nBar3.size = 256\n";
    text += "MSI_64.offset = 0x60\nADV_ERR.offset = 0x100\nREG.44.32.characteristic = RO FFFFFFFF\n";
  }
  return text;
}

void BM_BuildLargeScript(benchmark::State& state) {
  const std::string path = "lattix_bench_large.test";
  std::ofstream(path) << largeScript();
  size_t bytes = 0;
  int functions = 0;
  int devicesBuilt = 0;
  for (auto _ : state) {
    device** devices = nullptr;
    int** connections = nullptr;
    int count = 0;
    topology* result = nullptr;
    packetHandler* handler = nullptr;
    if (!scriptParser(path.c_str(), devices, connections, count, result, handler)) {
      state.SkipWithError("script did not parse");
      break;
    }
    bytes = 0;
    functions = 0;
    for (int i = 0; i < count; ++i) {
      bytes += devices[i]->memoryUsage();
      for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) functions += devices[i]->isFunction(fn);
    }
    devicesBuilt = count;
    delete handler;
    delete result;
  }
  std::remove(path.c_str());
  state.counters["devices"] = devicesBuilt;
  state.counters["functions"] = functions;
  state.counters["bytes_per_function"] = functions ? static_cast<double>(bytes) / functions : 0;
}
BENCHMARK(BM_BuildLargeScript)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
