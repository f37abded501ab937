// One configuration read of the DUT across the virtual-time link, settled, under each
// card command (armed, count 1; NAK and NO_ACK_NAK also with count 4, which brings
// REPLAY_NUM rollover and retraining), next to the same read with nothing armed as the
// baseline. The goal: well under a millisecond of real time per read under any command.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "card/card.h"
#include "station/lab_station.h"
#include "base/lattix_hierarchy.h"

namespace {

using namespace zamsim;

lab_station& station() {
  static std::unique_ptr<lab_station> s = [] {
    std::string error;
    auto config = load_station(std::string(ZAMSIM_STATIONS) + "/default.station", error);
    auto tree = config ? make_lattix_hierarchy(config->topology_path, error) : nullptr;
    if (!tree) {
      std::fprintf(stderr, "cannot build the default station: %s\n", error.c_str());
      std::exit(1);
    }
    auto built = std::make_unique<lab_station>(*config, std::move(tree));
    if (!built->boot(error)) {
      std::fprintf(stderr, "cannot boot the default station: %s\n", error.c_str());
      std::exit(1);
    }
    return built;
  }();
  return *s;
}

void card(uint8_t* packet) {
  uint32_t returned = 0;
  station().card().serve(packet, 56, packet, 56, returned);
}

void command(uint32_t word) {
  uint8_t packet[56] = {};
  std::memcpy(packet, &word, 4);
  card(packet);
}

void program(uint8_t code, uint16_t count, uint8_t match, uint32_t parameter = 0) {
  uint8_t packet[56] = {12};
  uint8_t* record = packet + 4;
  record[1] = code;
  record[6] = static_cast<uint8_t>(count >> 8);
  record[7] = static_cast<uint8_t>(count);
  record[8] = match != 0 ? match : 0x01;  // UNDEFINED_DLLP takes its type from here
  record[11] = match != 0 ? 1 : 0;
  const uint8_t mask[4] = {0x7F, 0x30, 0xF3, 0xFF};
  if (match != 0) std::memcpy(record + 24, mask, 4);
  std::memcpy(record + 40, &parameter, 4);
  card(packet);
}

// Arms, reads the DUT's IDs once (every link event settled), disarms.
void read_under(benchmark::State& state, uint8_t code, uint16_t count, uint8_t match, uint32_t parameter = 0) {
  lab_station& s = station();
  const bdf dut = *s.roles().dut;
  program(code, count, match, parameter);
  uint8_t id[4];
  for (auto _ : state) {
    command(10);  // arm: clears the trace, loads the count
    s.host_read(dut, 0, 4, id);
    command(11);
    benchmark::DoNotOptimize(id);
  }
  state.counters["virtual_ns"] = static_cast<double>(s.link()->queue().now());
}

constexpr uint8_t cpl_d = 0x4A, cfg_rd0 = 0x04;

void BM_ReadBaselineNothingArmed(benchmark::State& state) { read_under(state, 0, 0, 0); }
void BM_ReadUnderNak(benchmark::State& state) { read_under(state, 0x01, state.range(0), cpl_d); }
void BM_ReadUnderNoAckNak(benchmark::State& state) { read_under(state, 0x02, state.range(0), cpl_d); }
void BM_ReadUnderAckNakDelayLegal(benchmark::State& state) { read_under(state, 0x03, 1, cpl_d); }
void BM_ReadUnderCorruptLcrc(benchmark::State& state) { read_under(state, 0x05, 1, cfg_rd0); }
void BM_ReadUnderDuplicateSeqNum(benchmark::State& state) { read_under(state, 0x0B, 1, cfg_rd0); }
void BM_ReadUnderDelayTlp60ms(benchmark::State& state) { read_under(state, 0x0C, 1, cpl_d, 7'562'500); }
void BM_ReadUnderCorruptDllp(benchmark::State& state) { read_under(state, 0x20, 1, 0); }
void BM_ReadUnderDllpReservedBits(benchmark::State& state) { read_under(state, 0x21, 1, 0); }
void BM_ReadUnderUndefinedDllp(benchmark::State& state) { read_under(state, 0x22, 1, 0); }
void BM_ReadUnderDllpBogusSeqNum(benchmark::State& state) { read_under(state, 0x23, 1, cpl_d); }

BENCHMARK(BM_ReadBaselineNothingArmed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderNak)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderNoAckNak)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderAckNakDelayLegal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderCorruptLcrc)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderDuplicateSeqNum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderDelayTlp60ms)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderCorruptDllp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderDllpReservedBits)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderUndefinedDllp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUnderDllpBogusSeqNum)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
