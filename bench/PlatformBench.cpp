// Desktop operations on a real X server: run under any display, for example
//   xvfb-run -a build/bin/bench_platform
// KeyDownUp is KeyPress without its 20 ms pause.
#include "app/SysParamBridge.h"
#include "platform/Desktop.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

using namespace quillon;

namespace {

// One connection for the whole run: the benchmark library calls each
// function several times, and X servers refuse rapid reconnects.
std::shared_ptr<platform::Desktop> openDesktop(benchmark::State& state)
{
    static const std::shared_ptr<platform::Desktop> desktop = platform::openX11Desktop();
    if (!desktop)
        state.SkipWithError(platform::kNoDisplayError);
    return desktop;
}

void BM_KeyDownUp(benchmark::State& state)
{
    auto desktop = openDesktop(state);
    if (!desktop)
        return;
    input::TZenKeybd keybd(desktop->keyboard());
    platform::KeyState keys{};
    for (auto _ : state) {
        keybd.KeyDown("R_SHIFT");
        keybd.KeyUp("R_SHIFT");
        // Counted in: a round trip, so the server has taken both events.
        desktop->keyboard().readKeyState(keys);
    }
}
BENCHMARK(BM_KeyDownUp)->Unit(benchmark::kMicrosecond);

void BM_ReadKeyState(benchmark::State& state)
{
    auto desktop = openDesktop(state);
    if (!desktop)
        return;
    platform::KeyState keys{};
    for (auto _ : state) {
        desktop->keyboard().readKeyState(keys);
        benchmark::DoNotOptimize(keys);
    }
}
BENCHMARK(BM_ReadKeyState)->Unit(benchmark::kMicrosecond);

// 200 top-level windows with classes of their own; the one searched for is
// at the bottom of the stack, so the search reads every window.
void BM_FindhandleOver200Windows(benchmark::State& state)
{
    auto desktop = openDesktop(state);
    static Display* const dpy = XOpenDisplay(nullptr);
    if (!desktop || !dpy)
        return;
    std::vector<Window> made;
    for (int i = 0; i < 200; ++i) {
        const Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), i, i, 50, 50, 0, 0, 0);
        std::string name = "benchwindow" + std::to_string(i);
        std::string cls = "BenchClass" + std::to_string(i);
        XClassHint hint{name.data(), cls.data()};
        XSetClassHint(dpy, w, &hint);
        XStoreName(dpy, w, name.c_str());
        XMapWindow(dpy, w);
        made.push_back(w);
    }
    XSync(dpy, False);
    app::DesktopBridge kit(desktop);
    for (auto _ : state) {
        QString content = QStringLiteral(",benchclass0,");
        kit.bridge().query(QStringLiteral("findhandle"), content);
        benchmark::DoNotOptimize(content);
    }
    for (Window w : made)
        XDestroyWindow(dpy, w);
    XSync(dpy, False);
}
BENCHMARK(BM_FindhandleOver200Windows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
