// How long the global stop key takes to stop 20 busy runs through the main
// window's dispatch, printed as plain lines (not a Google Benchmark). The
// window runs offscreen over the simulated desktop; 20 rows, each bound to
// its own key, run a script that is busy in one of two ways:
//   delay  - "delay 10000", a run waiting in a script delay;
//   loop   - a do-while loop that never ends, a run busy on the CPU.
// Each round presses the 20 keys, waits until all 20 runs are busy, then
// times one press of the stop key (which also disarms the rows; the next
// press re-arms them untimed).
// Usage: window_stop_bench [rounds]   (default 15). Read the medians: the
// machine may be shared.
#include "app/GlobalStopKey.h"
#include "app/ZenStringGrid.h"
#include "app/fmmain.h"
#include "platform/sim/SimDesktop.h"
#include "script/ScriptThrd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using quillon::app::Tfrmmain;

constexpr int kRuns = 20;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void measure(const char* name, const QString& body, int rounds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("busy.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write((QStringLiteral("section down\n") + body + QStringLiteral("\nend section\n")).toUtf8());
    file.close();

    Tfrmmain::Options options;
    options.desktop = std::make_shared<quillon::platform::SimDesktop>();
    options.programDir = dir.path();
    options.endProcess = [] {};
    Tfrmmain window(options);
    window.FormCreate();
    window.tmr1()->stop();
    quillon::app::TZenStringGrid& grid = *window.ZenStringGrid1();
    QStringList keys;
    for (int i = 0; i < kRuns; ++i) {
        // F1 to F21 without F11, the stop key.
        const QString key = QStringLiteral("F%1").arg(i < 10 ? i + 1 : i + 2);
        keys << key;
        grid.setCellText(0, i + 1, key);
        grid.setCellText(1, i + 1, path);
        grid.setCellText(2, i + 1, QStringLiteral("true"));
    }
    window.tmr1Timer();  // arms the rows

    std::vector<double> ms;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& key : keys)
            window.ZenDxInput1KeyDonw(window.ZenKeybd1().KeyToCode(key), key);
        const bool allBusy = QTest::qWaitFor(
            [&] {
                return std::all_of(keys.begin(), keys.end(), [&](const QString& key) {
                    auto* run = window.runningScript(key);
                    return run && run->busy();
                });
            },
            10000);
        if (!allBusy) {
            std::printf("%s: the runs did not all start\n", name);
            return;
        }
        QElapsedTimer clock;
        clock.start();
        window.ZenDxInput1KeyDonw(quillon::app::GlobalStopKey.load(), QStringLiteral("F11"));
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        for (const QString& key : keys) {
            if (window.runningScript(key)->busy())
                std::printf("%s: %s still busy after the stop key\n", name, qPrintable(key));
        }
        window.ZenDxInput1KeyDonw(quillon::app::GlobalStopKey.load(), QStringLiteral("F11"));
    }
    std::printf("stop key, %d busy runs (%s): median %.2f ms, max %.2f ms over %d rounds\n", kRuns, name,
                median(ms), *std::max_element(ms.begin(), ms.end()), rounds);
    window.N26Click();
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    measure("delay", QStringLiteral("delay 10000"), rounds);
    measure("loop", QStringLiteral("x=0\ndo while x>=0\nx=x+1\nloop"), rounds);
    return 0;
}
