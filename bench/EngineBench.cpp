// Engine timings, printed as plain lines (not a Google Benchmark):
//  1. `quillon --run` on a do-while loop of a million passes and on the same
//     loop with for/next, beside python3 running the equivalent loop; lines
//     per second and the ratio to python3.
//  2. CPU time of a run sitting in "delay 10000" for 10 s.
//  3. Time from Stop to idle for a run in "delay 10000".
// Usage: engine_bench [path/to/quillon]   (default: beside this program)
#include "script/ScriptThrd.h"
#include "script/Scripert.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using quillon::script::TScripert;
using quillon::script::tscriptthrd;

constexpr double kLoopLinesDoWhile = 4.0 * 1000000 + 4;  // do while, two statements, loop
constexpr double kLoopLinesForNext = 3.0 * 1000000 + 3;  // for, one statement, next

const char* kDoWhile = "section down\ni=0\ns=0\ndo while i<1000000\ni=i+1\ns=s+i*2\nloop\nend section\n";
const char* kForNext = "section down\ns=0\nfor i=1 to 1000000\ns=s+i*2\nnext\nend section\n";
const char* kPython = "i=0; s=0\nwhile i<1000000: i=i+1; s=s+i*2\n";

double timeProcess(const QString& program, const QStringList& args)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return -1;
    }
    return double(t.nsecsElapsed()) / 1e9;
}

QString writeFile(const QTemporaryDir& dir, const char* name, const char* text)
{
    QFile f(dir.filePath(QString::fromLatin1(name)));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void loopSpeed(const QString& quillon)
{
    QTemporaryDir dir;
    const QString doWhile = writeFile(dir, "dowhile.txt", kDoWhile);
    const QString forNext = writeFile(dir, "fornext.txt", kForNext);
    const double py = timeProcess(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kPython)});
    const double dw = timeProcess(quillon, {QStringLiteral("--run"), doWhile, QStringLiteral("--section"), QStringLiteral("down")});
    const double fn = timeProcess(quillon, {QStringLiteral("--run"), forNext, QStringLiteral("--section"), QStringLiteral("down")});
    std::printf("python3 while loop:        %.3f s\n", py);
    if (dw > 0)
        std::printf("quillon do-while loop:     %.3f s  %.0f lines/s  time/python3 = %.2f\n", dw,
                    kLoopLinesDoWhile / dw, dw / py);
    if (fn > 0)
        std::printf("quillon for/next loop:     %.3f s  %.0f lines/s  time/python3 = %.2f\n", fn,
                    kLoopLinesForNext / fn, fn / py);
}

void delayCost()
{
    TScripert templ;
    templ.LoadScriptText(QStringLiteral("section down\ndelay 10000\nend section"));
    tscriptthrd run(nullptr, &templ);
    run.setSectionName(QStringLiteral("down"));
    run.resume();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu = cpuSeconds() - cpu0;
    std::printf("delay 10000 for %.1f s:     %.4f s CPU = %.3f %% of one core\n", wall.elapsed() / 1000.0,
                cpu, 100.0 * cpu / (wall.elapsed() / 1000.0));
    run.Stop();
}

void stopToIdle()
{
    TScripert templ;
    templ.LoadScriptText(QStringLiteral("section down\ndelay 10000\nend section"));
    tscriptthrd run(nullptr, &templ);
    run.setSectionName(QStringLiteral("down"));
    double worst = 0, total = 0;
    constexpr int kRounds = 20;
    for (int i = 0; i < kRounds; ++i) {
        run.resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QElapsedTimer t;
        t.start();
        run.Stop();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        total += ms;
    }
    std::printf("Stop to idle in delay 10000: mean %.3f ms, worst %.3f ms (%d rounds)\n", total / kRounds,
                worst, kRounds);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString quillon = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QCoreApplication::applicationDirPath() + QStringLiteral("/quillon");
    loopSpeed(quillon);
    stopToIdle();
    delayCost();
    return 0;
}
