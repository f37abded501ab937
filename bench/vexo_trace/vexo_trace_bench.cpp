// Counting ERR_COR messages the way the compliance programs do (VEXO_ZAM_TB_GetTLPByIndex
// for index 0, 1, 2, ... until it fails) over a trace of TLP records: each lookup walking
// from the start of the copy (as before the index) against the lookup through the index.
//
// The walking count is quadratic: over 1,000,000 records it would take many minutes, so the
// headline figure samples evenly spread indices and scales the mean lookup time up to the
// full loop (a lookup's cost grows linearly with its index, so the mean over evenly spread
// indices is the mean of the loop). Smaller traces are also timed in full.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "device/device_record.h"
#include "trace/tlp_index.h"
#include "trace/trace_copy.h"
#include "trace_builder.h"
#include "vexo.h"

namespace {

constexpr int full_trace_records = 1'000'000;

// One ERR_COR message (Msg routed to the root complex, code 0x30) in every 50 TLPs; the
// others are memory writes with one dword of data.
std::vector<uint8_t> make_trace(int records) {
  vexo_test::trace_builder builder;
  builder.bytes.reserve(static_cast<size_t>(records) * 24);
  for (int i = 0; i < records; ++i) {
    if (i % 50 == 0) {
      builder.tlp({0x30, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x30, 0, 0, 0, 0, 0, 0, 0, 0});
    } else {
      builder.tlp({0x40, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x0F, 0xFE, 0xE0, 0x00, 0x00,
                   0xAA, 0xBB, 0xCC, 0xDD});
    }
  }
  return builder.bytes;
}

// A card record that owns a copy of the trace.
VEXO_DEVICE_HANDLE_t card_with_trace(const std::vector<uint8_t>& trace) {
  uint8_t config[vexo::config_copy_size] = {};
  VEXO_DEVICE_HANDLE_t card = nullptr;
  vexo::make_device_record(4, 0, 0, config, &card);
  vexo::device_record& record = *vexo::record_from_handle(card);
  record.is_card = 1;
  auto* copy = static_cast<uint8_t*>(std::malloc(trace.size()));
  std::copy(trace.begin(), trace.end(), copy);
  vexo::adopt_trace_copy(record, copy, static_cast<uint32_t>(trace.size()));
  return card;
}

void close_card(VEXO_DEVICE_HANDLE_t card) {
  vexo::discard_trace_copy(*vexo::record_from_handle(card));
  vexo::free_device_record(card);
}

bool is_err_cor(const uint8_t* header) { return header[0] == 0x30 && header[7] == 0x30; }

// The lookup as it was before the index: walk from the start for every index.
VEXO_STATUS_t tlp_by_walk(VEXO_DEVICE_HANDLE_t card, uint8_t* header, int index) {
  const vexo::device_record& record = *vexo::record_from_handle(card);
  uint32_t payload = 0;
  if (!vexo::trace::find_tlp_by_walk(vexo::trace::view_of(record),
                                     static_cast<uint32_t>(index), payload)) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  vexo::trace::copy_clamped(vexo::trace::view_of(record), payload, header, 16);
  return VEXO_STATUS_SUCCESS;
}

template <typename Lookup>
int count_err_cor(VEXO_DEVICE_HANDLE_t card, Lookup lookup) {
  uint8_t header[16];
  int count = 0;
  for (int index = 0; lookup(card, header, index) == VEXO_STATUS_SUCCESS; ++index) {
    if (is_err_cor(header)) ++count;
  }
  return count;
}

VEXO_STATUS_t tlp_indexed(VEXO_DEVICE_HANDLE_t card, uint8_t* header, int index) {
  return VEXO_ZAM_TB_GetTLPByIndex(card, header, 0, index);
}

void BM_CountErrCorWalking(benchmark::State& state) {
  const auto trace = make_trace(static_cast<int>(state.range(0)));
  VEXO_DEVICE_HANDLE_t card = card_with_trace(trace);
  for (auto _ : state) benchmark::DoNotOptimize(count_err_cor(card, tlp_by_walk));
  close_card(card);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CountErrCorWalking)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

void BM_CountErrCorIndexed(benchmark::State& state) {
  const auto trace = make_trace(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    // A fresh copy each time: the index is built lazily as part of the first lookup.
    state.PauseTiming();
    VEXO_DEVICE_HANDLE_t card = card_with_trace(trace);
    state.ResumeTiming();
    benchmark::DoNotOptimize(count_err_cor(card, tlp_indexed));
    state.PauseTiming();
    close_card(card);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CountErrCorIndexed)
    ->Arg(1000)->Arg(4000)->Arg(16000)->Arg(full_trace_records)
    ->Unit(benchmark::kMillisecond);

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The headline comparison on 1,000,000 records.
void compare_on_full_trace() {
  const auto trace = make_trace(full_trace_records);
  VEXO_DEVICE_HANDLE_t card = card_with_trace(trace);

  auto start = std::chrono::steady_clock::now();
  const int indexed_count = count_err_cor(card, tlp_indexed);
  const double indexed_seconds = seconds_since(start);

  constexpr int samples = 400;
  uint8_t header[16];
  int sampled_err_cor = 0;
  start = std::chrono::steady_clock::now();
  for (int s = 0; s < samples; ++s) {
    const int index = static_cast<int>((static_cast<int64_t>(s) * 2 + 1) * full_trace_records /
                                       (2 * samples));
    if (tlp_by_walk(card, header, index) == VEXO_STATUS_SUCCESS && is_err_cor(header)) {
      ++sampled_err_cor;
    }
  }
  const double walking_seconds = seconds_since(start) / samples * (full_trace_records + 1);
  close_card(card);

  std::printf("\nERR_COR count over %d TLP records (%d found):\n", full_trace_records,
              indexed_count);
  std::printf("  before (walk per lookup): %.1f s, estimated from %d evenly spread lookups\n",
              walking_seconds, samples);
  std::printf("  after (lazy TLP index):   %.3f s, measured, index build included\n",
              indexed_seconds);
  std::printf("  ratio before/after:       %.0fx\n\n", walking_seconds / indexed_seconds);
  benchmark::DoNotOptimize(sampled_err_cor);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  compare_on_full_trace();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
