// Benchmarks of the engine's request path and checks: handle throughput on a five-level
// switch hierarchy, and every check on a hierarchy of 2,000+ functions and 4,000 BARs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lattix/lattix.h"

namespace {

struct loadedScript {
  device** devices = nullptr;
  int** connections = nullptr;
  int count = 0;
  topology* result = nullptr;
  packetHandler* handler = nullptr;
  bool load(const std::string& path) {
    return scriptParser(path.c_str(), devices, connections, count, result, handler);
  }
  ~loadedScript() {
    delete handler;
    delete result;
  }
};

std::vector<uint32_t> request(uint8_t formatAndType, const address& where, uint16_t offset,
                              uint32_t wireData = 0) {
  std::vector<uint32_t> words = {
      static_cast<uint32_t>(formatAndType) << 24 | 1u, 0x0100000Fu,
      where.bus << 24 | static_cast<uint32_t>(where.device) << 19 |
          static_cast<uint32_t>(where.function) << 16 | offset,
      wireData};
  return words;
}

// Requests to every device of the numbered five-level hierarchy: Type 0 for the root
// bus, Type 1 below; reads only, or reads and writes of the interrupt line in turn.
std::vector<std::vector<uint32_t>> requestMix(const packetHandler& handler, bool type1Mix) {
  std::vector<std::vector<uint32_t>> mix;
  for (topologyIterator it(handler.getRequestHandler()); it.getDevice(); it.next()) {
    const address where = it.getAddress();
    if (!type1Mix) {
      if (!where.type1) mix.push_back(request(LX_TLP_CFG_RD0, where, 0));
      continue;
    }
    if (!where.type1) continue;
    mix.push_back(request(LX_TLP_CFG_RD1, where, 0));
    mix.push_back(request(LX_TLP_CFG_WR1, where, 0x3C, 0x0B000000));
  }
  return mix;
}

void runHandle(benchmark::State& state, bool type1Mix) {
  loadedScript s;
  if (!s.load(LATTIX_BENCH_TESTDATA "/five_level_switches.test")) {
    state.SkipWithError("script did not parse");
    return;
  }
  busEnumeration(s.handler);
  const std::vector<std::vector<uint32_t>> mix = requestMix(*s.handler, type1Mix);
  size_t next = 0;
  for (auto _ : state) {
    uint32_t* completion = s.handler->handle(mix[next].data());
    benchmark::DoNotOptimize(completion);
    releaseCompletion(completion);
    if (++next == mix.size()) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["distinct_requests"] = static_cast<double>(mix.size());
}

void BM_HandleCfgRd0(benchmark::State& state) { runHandle(state, false); }
BENCHMARK(BM_HandleCfgRd0);

void BM_HandleCfgRd1CfgWr1Mix(benchmark::State& state) { runHandle(state, true); }
BENCHMARK(BM_HandleCfgRd1CfgWr1Mix);

// Baseline in the same run: the completion allocation alone, which handle cannot avoid.
void BM_CompletionAllocationBaseline(benchmark::State& state) {
  for (auto _ : state) {
    uint32_t* completion = new uint32_t[4];
    benchmark::DoNotOptimize(completion);
    releaseCompletion(completion);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompletionAllocationBaseline);

// A root switch with 5 ports, a 25-port switch below each, and below every port two
// endpoints with 8 functions of two 4 KB BARs: 2,000 endpoint functions, 4,000 BARs,
// 131 buses.
std::string largeScript() {
  std::string text = "[Device 1 Function 0]\nDeviceType = PCIExpressSwitch\nNumberPorts = 5\n";
  for (int sw = 0; sw < 5; ++sw)
    text += "Bridge." + std::to_string(sw + 2) + " = " + std::to_string(10 + sw) + ",\n";
  int endpoint = 100;
  for (int sw = 0; sw < 5; ++sw) {
    text += "[Device " + std::to_string(10 + sw) + " Function 0]\n";
    text += "DeviceType = PCIExpressSwitch\nNumberPorts = 25\n";
    for (int port = 0; port < 25; ++port, endpoint += 2)
      text += "Bridge." + std::to_string(port + 2) + " = " + std::to_string(endpoint) + "," +
              std::to_string(endpoint + 1) + ",\n";
  }
  for (int ep = 100; ep < endpoint; ++ep)
    for (int fn = 0; fn < 8; ++fn)
      text += "[Device " + std::to_string(ep) + " Function " + std::to_string(fn) +
              "]\nBar1.type = mem32\nBar1.size = 4kb\nBar2.type = mem32\nBar2.size = 4kb\n";
  return text;
}

// Numbers the buses, gives every BAR an address of its own and opens every bridge's
// memory window over all of them, so that each check walks the whole hierarchy.
void assignResources(packetHandler& handler, int& functions, int& bars) {
  busEnumeration(&handler);
  uint32_t nextAddress = 0x80000000u;
  functions = 0;
  bars = 0;
  for (topologyIterator it(handler.getRequestHandler()); it.getDevice(); it.next()) {
    device& dev = *it.getDevice();
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev.isFunction(fn)) continue;
      ++functions;
      dev.write2(fn, 0x04, 0x0007);
      if (dev.isBridge(fn)) {
        dev.write2(fn, 0x20, 0x8000);
        dev.write2(fn, 0x22, 0x8FF0);
        continue;
      }
      for (uint16_t offset = 0x10; offset <= 0x14; offset += 4) {
        dev.write4(fn, offset, nextAddress);
        nextAddress += 0x1000;
        ++bars;
      }
    }
  }
}

void BM_AllChecksLargeHierarchy(benchmark::State& state) {
  const std::string path = "lattix_engine_bench_large.test";
  std::ofstream(path) << largeScript();
  loadedScript s;
  const bool loaded = s.load(path);
  std::remove(path.c_str());
  if (!loaded) {
    state.SkipWithError("script did not parse");
    return;
  }
  int functions = 0;
  int bars = 0;
  assignResources(*s.handler, functions, bars);
  int findings = 0;
  for (auto _ : state) {
    findings = 0;
    const busEnumerationError numbering = findBusEnumerationError(s.handler);
    findings += numbering.errorFound;
    overlapDataObj* overlaps = findBarOverlap(s.handler, false);
    findings += overlaps != nullptr;
    releaseOverlapList(overlaps);
    std::vector<_MEM_IO_ENABLE_FAIL_DATA>* enables = nullptr;
    FindMemIOEnables(s.handler, &enables, true, true);
    findings += static_cast<int>(enables->size());
    std::vector<_ASPM_ENABLE_FAIL_DATA>* aspm = nullptr;
    FindASPMEnables(s.handler, &aspm);
    findings += static_cast<int>(aspm->size());
    for (_BRIDGE_WINDOW_TYPE type : {IO_WINDOW, MEM_WINDOW, PREFETCH_WINDOW})
      findings += FindBridgeWindowError(s.handler, type, true).errorFound;
    aspmErrorObj* aspmErrors = findAspmError(s.handler);
    findings += aspmErrors != nullptr;
    releaseAspmErrorList(aspmErrors);
    addressList* l0s = findPossibleL0sEnables(s.handler);
    addressList* l1 = findPossibleL1Enables(s.handler);
    benchmark::DoNotOptimize(l0s);
    benchmark::DoNotOptimize(l1);
    releaseAddressList(l0s);
    releaseAddressList(l1);
  }
  state.counters["functions"] = functions;
  state.counters["bars"] = bars;
  state.counters["findings"] = findings;
}
BENCHMARK(BM_AllChecksLargeHierarchy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
