// Cost of the window thread's reception work. The edge path runs at every
// level change, so it must stay small and allocation-free.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/display_texts.h"
#include "reception/edge_decoder.h"
#include "reception/telegram_decoder.h"
#include "tools/decode/decode_session.h"

namespace {

const std::vector<dcf77::SampledEdge>& DayOfEdges() {
    static const std::vector<dcf77::SampledEdge> edges = [] {
        dcf77::EdgeStreamOptions options =
            dcf77::OptionsForMinutes(dcf77::UtcMs(2026, 12, 6, 0, 0), 24 * 60);
        options.jitterMs = 3;
        options.glitchRate = 0.01;
        return dcf77::GenerateEdgeVector(options);
    }();
    return edges;
}

void BM_DecodeEdge(benchmark::State& bench) {
    const auto& edges = DayOfEdges();
    ResetReception();
    std::size_t i = 0;
    for (auto _ : bench) {
        const dcf77::SampledEdge& e = edges[i];
        DecodeEdge(e.level, static_cast<int32_t>(e.stampMs));
        timeConfirmed = 0;
        if (++i == edges.size()) {
            i = 0;
            ResetReception();
        }
    }
    bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_DecodeEdge);

void BM_WholeMinute(benchmark::State& bench) {
    const uint64_t bits = dcf77::EncodeMinute(dcf77::UtcMs(2026, 12, 6, 13, 4));
    ResetReception();
    int32_t mark = 100000;
    for (auto _ : bench) {
        for (int second = 0; second < 59; ++second) AppendBit(static_cast<uint8_t>(dcf77::TelegramBit(bits, second)));
        dcfPtr->current.markTime = mark;
        DecodeTelegram();
        ClearBits();
        mark += 6000;
        timeConfirmed = 0;
    }
}
BENCHMARK(BM_WholeMinute);

void BM_BuildStatusLines(benchmark::State& bench) {
    TDcfState state{};
    state.current.markTime = 1;
    state.current.hour = 14;
    state.current.weekday = 7;
    state.syncAttempts = 123;
    state.telegramCount = 4567;
    for (auto _ : bench) {
        BuildStatusLines(state);
        benchmark::DoNotOptimize(telegramLine.c_str());
    }
}
BENCHMARK(BM_BuildStatusLines);

// The replay engine on a 24-hour log, output built but not written.
void BM_ReplayDay(benchmark::State& bench) {
    const auto& edges = DayOfEdges();
    std::string out;
    out.reserve(1 << 20);
    for (auto _ : bench) {
        DecodeSession session(DecodeOptions{});  // starts reception afresh
        for (const dcf77::SampledEdge& e : edges) {
            session.OnEdge(e.level, e.stampMs, out);
            if (out.size() > (1 << 19)) out.clear();
        }
    }
    bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(edges.size()));
    bench.counters["edges"] = static_cast<double>(edges.size());
}
BENCHMARK(BM_ReplayDay)->Unit(benchmark::kMillisecond);

}  // namespace
