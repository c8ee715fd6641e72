// Input capture on a real X server, with real script runs. Run it under a
// private server, never on a desktop in use (it grabs 98 keys):
//   xvfb-run -a build/bin/input_capture_bench [latency|idle SECONDS|stop]
//
// latency: an XTest press of F1 on a connection of its own, to the first
//   line event of the "down" section that the press handler starts; 200
//   presses with the event wake and 200 with polling alone, in alternating
//   blocks of 20.
// idle:    CPU of this process with the trigger input enabled and 98 hot
//   keys registered, over SECONDS (default 60) of doing nothing.
// stop:    from an XTest press of F11 to all of 20 busy runs idle, the press
//   handler stopping them last to first; 10 rounds.
#include "ArmedKeys.h"
#include "input/ZenDxInput.h"
#include "input/ZenHotKey.h"
#include "platform/Desktop.h"
#include "script/ScriptThrd.h"
#include "script/Scripert.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace quillon;
using Clock = std::chrono::steady_clock;

namespace {

// Waits in the event loop, as the program does, without spinning.
void processFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// An event loop that any thread may end.
class Waiter {
public:
    void done() { QMetaObject::invokeMethod(&m_loop, "quit", Qt::QueuedConnection); }
    void wait(int timeoutMs)
    {
        QTimer::singleShot(timeoutMs, &m_loop, &QEventLoop::quit);
        m_loop.exec();
    }

private:
    QEventLoop m_loop;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t i = std::min(values.size() - 1, std::size_t(p / 100.0 * double(values.size())));
    return values[i];
}

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void latency(platform::Desktop& desktop, platform::Desktop& presser)
{
    QObject window;
    input::TZenDxInput dx(&window, desktop);
    script::TScripert templ;
    templ.LoadScriptText(QStringLiteral("section down\nx = 1\nend section\n"));
    std::atomic<bool> lineSeen{false};
    std::atomic<Waiter*> waiter{nullptr};
    std::mutex mutex;
    Clock::time_point pressedAt;
    double lastMs = 0;
    templ.OnLineNumber = [&](script::TScripert*, int) {
        if (lineSeen.exchange(true))
            return;
        std::lock_guard lock(mutex);
        lastMs = std::chrono::duration<double, std::milli>(Clock::now() - pressedAt).count();
        if (Waiter* w = waiter.load())
            w->done();
    };
    script::tscriptthrd run(nullptr, &templ);
    run.setSectionName(QStringLiteral("down"));
    dx.OnKeyDonw = [&](int, const QString& name) {
        if (name == QLatin1String("F1"))
            run.resume();
    };
    dx.setEnable(true);
    processFor(200);

    std::vector<double> withWake, withoutWake;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pause(20, 70);
    for (int block = 0; block < 20; ++block) {
        const bool wake = block % 2 == 0;
        dx.setEventWake(wake);
        for (int i = 0; i < 20; ++i) {
            run.waitIdle(1000);
            lineSeen = false;
            Waiter w;
            {
                std::lock_guard lock(mutex);
                pressedAt = Clock::now();
                waiter = &w;
            }
            presser.keyboard().sendKey(0x70, 0, 0);
            w.wait(2000);
            waiter = nullptr;
            presser.keyboard().sendKey(0x70, 0, platform::kKeyUp);
            {
                std::lock_guard lock(mutex);
                (wake ? withWake : withoutWake).push_back(lastMs);
            }
            processFor(pause(random));
        }
    }
    dx.setEnable(false);
    for (const auto& [label, samples] : {std::pair{"with the event wake", withWake},
                                         std::pair{"polling alone      ", withoutWake}})
        std::printf("press to first line, %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu presses)\n",
                    label, percentile(samples, 50), percentile(samples, 99),
                    percentile(samples, 100), samples.size());
}

void idle(platform::Desktop& desktop, int seconds)
{
    QObject window;
    input::TZenDxInput dx(&window, desktop);
    input::TZenHotKey hotKey(desktop.hotKeys(), &window);
    int refused = 0;
    hotKey.OnGrabRefused = [&](const QString&, int, const QString&) { ++refused; };
    for (const auto& [code, name] : bench::armedKeys()) {
        dx.EnabledKeys().setValue(name, QStringLiteral("true"));
        hotKey.Add(0, code, name);
    }
    dx.setEnable(true);
    processFor(1000);
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    processFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    std::printf("idle with %d armed keys (%d grabs refused) for %.1f s: %.3f s CPU = %.3f %% of one core\n",
                dx.EnabledKeys().size(), refused, elapsed, cpu, 100.0 * cpu / elapsed);
    dx.setEnable(false);
}

void stop(platform::Desktop& desktop, platform::Desktop& presser)
{
    QObject window;
    input::TZenDxInput dx(&window, desktop);
    script::TScripert computing, waiting;
    computing.LoadScriptText(QStringLiteral("section down\ndo while 1 = 1\nx = x + 1\nloop\nend section\n"));
    waiting.LoadScriptText(QStringLiteral("section down\ndo while 1 = 1\ndelay 1000\nloop\nend section\n"));
    std::vector<std::unique_ptr<script::tscriptthrd>> runs;
    for (int i = 0; i < 20; ++i) {
        runs.push_back(std::make_unique<script::tscriptthrd>(nullptr, i % 2 ? &computing : &waiting));
        runs.back()->setSectionName(QStringLiteral("down"));
    }
    Waiter* waiter = nullptr;
    bool askAllFirst = false;
    dx.OnKeyDonw = [&](int key, const QString&) {
        if (key != 0x7A)
            return;
        // Asking every run to stop before waiting for the first lets them
        // all wind down at once.
        if (askAllFirst)
            for (auto& run : runs) {
                run->Engine()->requestStop();
                run->setInterrupted();
            }
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            if ((*it)->busy())
                (*it)->Stop();
        if (waiter)
            waiter->done();
    };
    dx.setEnable(true);
    processFor(200);
    std::vector<double> oneByOne, allAtOnce;
    for (int round = 0; round < 20; ++round) {
        askAllFirst = round % 2 == 1;
        for (auto& run : runs)
            run->resume();
        processFor(300);
        Waiter w;
        waiter = &w;
        const auto pressed = Clock::now();
        presser.keyboard().sendKey(0x7A, 0, 0);
        w.wait(5000);
        waiter = nullptr;
        (askAllFirst ? allAtOnce : oneByOne)
            .push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
        presser.keyboard().sendKey(0x7A, 0, platform::kKeyUp);
        processFor(100);
    }
    dx.setEnable(false);
    std::printf("stop key to 20 busy runs idle, stopped one by one: median %.2f ms, worst %.2f ms (10 rounds)\n",
                percentile(oneByOne, 50), percentile(oneByOne, 100));
    std::printf("stop key to 20 busy runs idle, all asked first:    median %.2f ms, worst %.2f ms (10 rounds)\n",
                percentile(allAtOnce, 50), percentile(allAtOnce, 100));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0);
    auto desktop = platform::openX11Desktop();
    auto presser = platform::openX11Desktop();
    if (!desktop || !presser) {
        std::fprintf(stderr, "no X11 display is available\n");
        return 1;
    }
    if (what.isEmpty() || what == QLatin1String("latency"))
        latency(*desktop, *presser);
    if (what.isEmpty() || what == QLatin1String("stop"))
        stop(*desktop, *presser);
    if (what.isEmpty() || what == QLatin1String("idle"))
        idle(*desktop, args.value(1, QStringLiteral("60")).toInt());
    return 0;
}
