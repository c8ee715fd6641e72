// Cost of one cached call into the script host, as the run loop makes them:
// the same few texts over and over.
#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

using quillon::vbs::ScriptHost;
using quillon::vbs::Value;

namespace {

void requireOk(bool ok, benchmark::State& state, const ScriptHost& host)
{
    if (!ok) {
        state.SkipWithError(host.error().description.toUtf8().constData());
    }
}

void BM_EvalComparison(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"i = 5");
    Value result;
    for (auto _ : state) {
        bool ok = host.eval(u"i<1000000", result);
        benchmark::DoNotOptimize(ok);
    }
    requireOk(host.eval(u"i<1000000", result), state, host);
}
BENCHMARK(BM_EvalComparison);

void BM_IncrementStatement(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"i = 0");
    for (auto _ : state) {
        bool ok = host.executeStatement(u"i=i+1");
        benchmark::DoNotOptimize(ok);
        if (!ok)
            host.executeStatement(u"i = 0");  // past Double's exact range after ~2^53 runs only
    }
}
BENCHMARK(BM_IncrementStatement);

void BM_ArithmeticStatement(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"s = 0 : i = 7");
    int64_t n = 0;
    for (auto _ : state) {
        bool ok = host.executeStatement(u"s=s+i*2");
        benchmark::DoNotOptimize(ok);
        if (++n == 100000000) {
            host.executeStatement(u"s = 0");
            n = 0;
        }
    }
    requireOk(host.executeStatement(u"s=s+i*2"), state, host);
}
BENCHMARK(BM_ArithmeticStatement);

void BM_ConcatStatement(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"t = \"\"");
    int n = 0;
    for (auto _ : state) {
        bool ok = host.executeStatement(u"t=t & \"x\"");
        benchmark::DoNotOptimize(ok);
        if (++n == 1000) {
            state.PauseTiming();
            host.executeStatement(u"t = \"\"");
            n = 0;
            state.ResumeTiming();
        }
    }
    requireOk(host.executeStatement(u"t=t & \"x\""), state, host);
}
BENCHMARK(BM_ConcatStatement);

// An element write and an element read with a running sum, as a fill/sum
// loop makes them.
void BM_ArrayElementWrite(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"ReDim a(999) : i = 0");
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(host.executeStatement(u"a(i)=i"));
        if (++n == 1000) {
            host.executeStatement(u"i = 0");
            n = 0;
        } else {
            host.executeStatement(u"i = i + 1");
        }
    }
    requireOk(host.executeStatement(u"a(i)=i"), state, host);
}
BENCHMARK(BM_ArrayElementWrite);

void BM_ArrayElementSum(benchmark::State& state)
{
    ScriptHost host;
    host.executeStatement(u"ReDim a(999) : s = 0 : i = 7 : a(7) = 3");
    for (auto _ : state)
        benchmark::DoNotOptimize(host.executeStatement(u"s=s+a(i)"));
    requireOk(host.executeStatement(u"s=s+a(i)"), state, host);
}
BENCHMARK(BM_ArrayElementSum);

void BM_FirstParse(benchmark::State& state)
{
    ScriptHost host;
    int n = 0;
    for (auto _ : state) {
        // A new text each time: parse plus run, bounded by the cache's cap.
        QString text = QStringLiteral("v%1 = v%1 + %2 * 3").arg(n % 5000).arg(n);
        ++n;
        benchmark::DoNotOptimize(host.executeStatement(text));
    }
}
BENCHMARK(BM_FirstParse);

}  // namespace

BENCHMARK_MAIN();
