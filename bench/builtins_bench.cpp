// Cost of a cached script line that calls a built-in, as a script loop runs
// it: the host's call overhead plus the built-in's own work.
#include "script/vbs/ScriptHost.h"

#include <benchmark/benchmark.h>

using quillon::vbs::ScriptHost;

namespace {

void runLine(benchmark::State& state, const char16_t* setup, const char16_t* line)
{
    ScriptHost host;
    if (!host.executeStatement(QStringView(setup))) {
        state.SkipWithError("setup failed");
        return;
    }
    for (auto _ : state) {
        if (!host.executeStatement(QStringView(line))) {
            state.SkipWithError(host.error().description.toUtf8().constData());
            return;
        }
    }
}

void BM_Len(benchmark::State& state) { runLine(state, u"s = \"hello, world\"", u"n = Len(s)"); }
void BM_Mid(benchmark::State& state) { runLine(state, u"s = \"hello, world\" : i = 3", u"t = Mid(s, i, 4)"); }
void BM_InStr(benchmark::State& state) { runLine(state, u"s = String(200, \"a\") & \"needle\"", u"n = InStr(s, \"needle\")"); }
void BM_Replace(benchmark::State& state) { runLine(state, u"s = \"a,b,c,d,e,f\"", u"t = Replace(s, \",\", \";\")"); }
void BM_Split(benchmark::State& state) { runLine(state, u"s = \"a,b,c,d,e,f\"", u"a = Split(s, \",\")"); }
void BM_FormatNumber(benchmark::State& state) { runLine(state, u"x = 1234.5678", u"t = FormatNumber(x, 2)"); }
void BM_DateAdd(benchmark::State& state) { runLine(state, u"d = DateSerial(2026, 1, 1)", u"e = DateAdd(\"n\", 90, d)"); }
void BM_Rnd(benchmark::State& state) { runLine(state, u"r = 0", u"r = Rnd"); }

BENCHMARK(BM_Len);
BENCHMARK(BM_Mid);
BENCHMARK(BM_InStr);
BENCHMARK(BM_Replace);
BENCHMARK(BM_Split);
BENCHMARK(BM_FormatNumber);
BENCHMARK(BM_DateAdd);
BENCHMARK(BM_Rnd);

}  // namespace

BENCHMARK_MAIN();
