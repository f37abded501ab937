// Decoding is linear in the trace: a trace of 1,000,000 records (configuration reads,
// completions, memory writes, Acks, UpdateFCs and ERR_COR messages, annotated as the card
// writes them) decoded with for_each_record (nothing kept), decoded into a vector, and, as
// the baseline in the same run, walked record by record the way the framework's searches
// walk it (marker, kind, length; no decoding). Smaller traces show the ratio holds.
// Decoding into a vector keeps some 200 bytes per record: at a million records its time is
// mostly the first touch of that memory, which the streaming decode never needs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "zamtrace/decode.h"
#include "zamtrace/format.h"

namespace {

void add(std::vector<uint8_t>& trace, uint8_t kind, const std::vector<uint8_t>& payload, uint32_t time, bool down) {
  const auto words = static_cast<uint16_t>(kind == 3 ? 2 : payload.size() / 4);
  const uint8_t header[8] = {0xF1, static_cast<uint8_t>(kind | 0x08 | (down ? 0x10 : 0)), uint8_t(words),
                             uint8_t(words >> 8), uint8_t(time), uint8_t(time >> 8), uint8_t(time >> 16),
                             uint8_t(time >> 24)};
  trace.insert(trace.end(), header, header + 8);
  trace.insert(trace.end(), payload.begin(), payload.end());
}

std::vector<uint8_t> make_trace(int64_t records) {
  std::vector<uint8_t> trace;
  trace.reserve(static_cast<std::size_t>(records) * 22);
  for (int64_t i = 0; i < records; ++i) {
    const auto t = static_cast<uint32_t>(i * 40);
    const auto tag = static_cast<uint8_t>(i);
    switch (i % 6) {
      case 0: add(trace, 0, {0x04, 0, 0, 1, 0, 0, tag, 0x0F, 3, 0, 0, 0}, t, true); break;
      case 1: add(trace, 3, {0, 0x00, 0, 0, tag, 0xD4, 0x20, 0}, t, false); break;
      case 2: add(trace, 0, {0x4A, 0, 0, 1, 3, 0, 0, 4, 0, 0, tag, 0, 0xCD, 0xAB, 0x20, 0}, t, false); break;
      case 3: add(trace, 0, {0x40, 0, 0, 1, 3, 0, 0, 0x0F, 0x10, 0, 0, 0, 0xA5, 0xA5, 0xA5, 0xA5}, t, false); break;
      case 4: add(trace, 3, {0, 0x80, 0x08, 0x00, 0x80, 0, 0, 0}, t, true); break;
      default: add(trace, 0, {0x30, 0, 0, 0, 3, 0, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0}, t, false); break;
    }
  }
  return trace;
}

const std::vector<uint8_t>& trace_of(int64_t records) {
  static std::vector<std::pair<int64_t, std::vector<uint8_t>>> made;
  for (const auto& [n, t] : made)
    if (n == records) return t;
  made.emplace_back(records, make_trace(records));
  return made.back().second;
}

// The baseline: the framework's walk (marker, kind, length), counting TLP records.
void BM_RawWalk(benchmark::State& state) {
  const auto& trace = trace_of(state.range(0));
  for (auto _ : state) {
    std::size_t at = 0, tlps = 0;
    while (at + 8 <= trace.size() && trace[at] == 0xF1) {
      const unsigned kind = trace[at + 1] & 7;
      tlps += kind <= 2;
      at += 8 + (kind <= 2 ? 4u * (trace[at + 2] | trace[at + 3] << 8) : kind == 3 ? 8 : 0);
    }
    benchmark::DoNotOptimize(tlps);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DecodeStreaming(benchmark::State& state) {
  const auto& trace = trace_of(state.range(0));
  for (auto _ : state) {
    std::size_t err_cor = 0;
    zamtrace::for_each_record(trace.data(), trace.size(), [&](const zamtrace::decoded_record& r) {
      err_cor += r.message_code == 0x30;
    });
    benchmark::DoNotOptimize(err_cor);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DecodeToVector(benchmark::State& state) {
  const auto& trace = trace_of(state.range(0));
  for (auto _ : state) {
    auto records = zamtrace::decode(trace);
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DecodeAndList(benchmark::State& state) {
  const auto& trace = trace_of(state.range(0));
  for (auto _ : state) {
    std::size_t bytes = 0;
    zamtrace::for_each_record(trace.data(), trace.size(),
                              [&](const zamtrace::decoded_record& r) { bytes += zamtrace::listing_line(r).size(); });
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_RawWalk)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStreaming)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeToVector)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndList)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
