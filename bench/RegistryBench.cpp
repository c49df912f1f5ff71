#include "settings/RegVars.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// One write-through of a counter setting: a committed SQLite transaction in WAL mode.
static void BM_RegDwordSetWriteThrough(benchmark::State& state)
{
    QTemporaryDir dir;
    CRegVars vars(dir.filePath("registry.sqlite3").toStdString());
    std::uint32_t value = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(vars.SumRXLo.Set(++value));
}
BENCHMARK(BM_RegDwordSetWriteThrough);
