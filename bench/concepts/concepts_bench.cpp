// Cost of the Cangjie lookup and of one report.
#include "big5/big5.h"
#include "concepts/cangjie_table.h"
#include "concepts/concept_table.h"
#include "concepts/report.h"

#include <benchmark/benchmark.h>

namespace {

void lookUp(benchmark::State& state, const QByteArray& character) {
    for (auto _ : state) {
        auto code = velmora::cangjieLookup(character);
        benchmark::DoNotOptimize(code);
    }
}

// 頡 stands about a quarter of the way into the table.
void BM_CangjieLookupPresent(benchmark::State& state) {
    lookUp(state, velmora::toBig5("頡").value());
}
BENCHMARK(BM_CangjieLookupPresent);

// The last row.
void BM_CangjieLookupLastRow(benchmark::State& state) {
    lookUp(state, QByteArray("\x81\xE5"));
}
BENCHMARK(BM_CangjieLookupLastRow);

// "，" is in no row.
void BM_CangjieLookupAbsent(benchmark::State& state) {
    lookUp(state, velmora::toBig5("，").value());
}
BENCHMARK(BM_CangjieLookupAbsent);

// Every two-byte text in turn, present or absent: the time shown is per lookup.
void BM_CangjieLookupEveryTwoByteText(benchmark::State& state) {
    QList<QByteArray> texts;
    for (int value = 0; value < 0x10000; ++value) {
        QByteArray text;
        text += char(value >> 8);
        text += char(value & 0xFF);
        texts.append(text);
    }
    for (auto _ : state)
        for (const QByteArray& text : texts) {
            auto code = velmora::cangjieLookup(text);
            benchmark::DoNotOptimize(code);
        }
    state.SetItemsProcessed(state.iterations() * texts.size());
    state.counters["ns_per_lookup"] =
        benchmark::Counter(double(state.iterations() * texts.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CangjieLookupEveryTwoByteText);

void BM_BuildReport(benchmark::State& state) {
    velmora::fillConceptTable();
    const QByteArray character = velmora::toBig5("頡").value();
    const QByteArray code = "11110010";
    for (auto _ : state) {
        auto report = velmora::buildReport(character, code);
        benchmark::DoNotOptimize(report);
    }
}
BENCHMARK(BM_BuildReport);

} // namespace

BENCHMARK_MAIN();
