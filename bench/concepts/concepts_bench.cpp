// Cost of the Cangjie scan and of one report.
#include "concepts/big5.h"
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

// The last row: the longest scan that still finds something.
void BM_CangjieLookupLastRow(benchmark::State& state) {
    lookUp(state, QByteArray("\x81\xE5"));
}
BENCHMARK(BM_CangjieLookupLastRow);

// "，" is in no row: every row is examined.
void BM_CangjieLookupAbsent(benchmark::State& state) {
    lookUp(state, velmora::toBig5("，").value());
}
BENCHMARK(BM_CangjieLookupAbsent);

void BM_BuildReport(benchmark::State& state) {
    velmora::fillConceptTable();
    const QByteArray character = velmora::toBig5("頡").value();
    const QByteArray code = "11110010";
    for (auto _ : state) {
        auto report = velmora::btn3Click(character, code);
        benchmark::DoNotOptimize(report);
    }
}
BENCHMARK(BM_BuildReport);

} // namespace

BENCHMARK_MAIN();
