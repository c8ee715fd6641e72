// The real program on a real X server, timed from outside through its run
// trace (QUILLON_TRACE, stamped with CLOCK_MONOTONIC). Each mode copies the
// program into a temporary portable folder with a prepared state file and
// starts it on $DISPLAY. Run it under a private server, never on a desktop
// in use (the program grabs the keys it arms):
//   xvfb-run -a build/bin/program_input_bench MODE [N] [--binary PATH]
//
// idle [SECONDS=60]  98 armed rows, nothing pressed: CPU of the program
//                    (utime + stime of /proc/PID/stat) and its context
//                    switches over SECONDS, with the event wake and with
//                    polling alone (QUILLON_EVENT_WAKE=0).
// latency [N=200]    an XTest press of F1 to the first line event of the
//                    "down" it starts, N presses with the event wake and N
//                    with polling alone, each 80 to 150 ms after the program
//                    saw the previous release.
// stop [ROUNDS=10]   20 rows busy (10 in a delay, 10 computing), an XTest
//                    press of F11 to the end of its handling, which stops
//                    every run; the trace also says how many stayed busy.
// PATH defaults to the program this benchmark was built with.
#include "../tests/x11/PortableProgram.h"
#include "../tests/x11/RunTraceReader.h"
#include "ArmedKeys.h"
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

using namespace quillon;
using x11test::PortableProgram;
using x11test::RunTraceReader;
using x11test::TraceEvent;
using x11test::TriggerRow;

namespace {

QString g_binary = QStringLiteral(QUILLON_BINARY);

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t i = std::min(values.size() - 1, std::size_t(p / 100.0 * double(values.size())));
    return values[i];
}

// CPU seconds the process has used, all its threads.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 here.
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// Voluntary and involuntary context switches of every thread: how often
// the program woke.
long long contextSwitches(qint64 pid)
{
    long long total = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + QLatin1Char('/') + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return total;
}

// The program started with `rows` and the trace on; null when its window
// never showed.
std::unique_ptr<PortableProgram> startProgram(const QString& display, const QList<TriggerRow>& rows,
                                              const QMap<QString, QByteArray>& scripts, bool eventWake)
{
    auto program = std::make_unique<PortableProgram>(display, g_binary);
    for (auto it = scripts.begin(); it != scripts.end(); ++it)
        program->write(it.key(), it.value());
    program->writeState(rows);
    QProcessEnvironment env;
    env.insert(QStringLiteral("QUILLON_TRACE"), program->path(QStringLiteral("trace.log")));
    if (!eventWake)
        env.insert(QStringLiteral("QUILLON_EVENT_WAKE"), QStringLiteral("0"));
    program->start(env);
    if (program->waitWindow().isEmpty()) {
        std::fprintf(stderr, "the program's window did not show\n");
        return nullptr;
    }
    // The 500 ms timer arms the restored rows.
    QThread::msleep(1500);
    return program;
}

void idle(const QString& display, int seconds)
{
    QList<TriggerRow> rows;
    for (const auto& [code, name] : bench::armedKeys({0x7A}))
        rows.push_back({name, QStringLiteral("./script/idle.txt"), true, false});
    const QMap<QString, QByteArray> scripts{{QStringLiteral("script/idle.txt"), "section down\r\nx = 1\r\nend section\r\n"}};
    for (bool wake : {true, false}) {
        auto program = startProgram(display, rows, scripts, wake);
        if (!program)
            return;
        QThread::msleep(1000);
        const qint64 pid = program->pid();
        const double cpu0 = cpuSeconds(pid);
        const long long switches0 = contextSwitches(pid);
        const long long t0 = RunTraceReader::nowNs();
        QThread::sleep(unsigned(seconds));
        const double cpu = cpuSeconds(pid) - cpu0;
        const long long switches = contextSwitches(pid) - switches0;
        const double elapsed = double(RunTraceReader::nowNs() - t0) / 1e9;
        std::printf("idle program, %lld armed rows, %s, %.1f s: %.3f s CPU = %.3f %% of one core, "
                    "%.1f context switches/s\n",
                    qlonglong(rows.size()), wake ? "event wake" : "polling alone", elapsed, cpu,
                    100.0 * cpu / elapsed, double(switches) / elapsed);
        program->terminate();
    }
}

void latency(const QString& display, platform::Desktop& presser, int presses)
{
    const QList<TriggerRow> rows{{QStringLiteral("F1"), QStringLiteral("./script/f1.txt"), true, false}};
    // A blank "up": the release of a busy run does nothing.
    const QMap<QString, QByteArray> scripts{
        {QStringLiteral("script/f1.txt"), "section down\r\nx = 1\r\nend section\r\nsection up\r\n\r\nend section\r\n"}};
    // After starting a section the window waits 50 ms inside the poll, and
    // no poll is posted while that poll runs: a release sent during the
    // wait after "down" is seen when it ends, and starts "up" with a wait
    // of its own. A press in that time is seen when the wait ends (or stops
    // the run that is still busy). The pauses count from the release the
    // program saw and leave that wait behind, so each press meets a quiet
    // program.
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pause(80, 150);
    for (bool wake : {true, false}) {
        auto program = startProgram(display, rows, scripts, wake);
        if (!program)
            return;
        RunTraceReader trace(program->path(QStringLiteral("trace.log")));
        std::vector<double> firstLine, pressSeen;
        int lost = 0;
        for (int i = 0; i < presses; ++i) {
            const std::size_t from = trace.events().size();
            const long long pressed = RunTraceReader::nowNs();
            presser.keyboard().sendKey(0x70, 0, 0);
            const int line = trace.waitFor(x11test::passOf(QStringLiteral("F1"), QStringLiteral("down")), 2000, from);
            presser.keyboard().sendKey(0x70, 0, platform::kKeyUp);
            trace.waitFor([](const TraceEvent& e) { return e.what == QLatin1String("release"); }, 2000,
                          line < 0 ? from : std::size_t(line));
            if (line < 0) {
                ++lost;
                QThread::msleep(unsigned(pause(random)));
                continue;
            }
            const auto& events = trace.events();
            firstLine.push_back(double(events[std::size_t(line)].ns - pressed) / 1e6);
            for (std::size_t e = from; e < std::size_t(line); ++e)
                if (events[e].what == QLatin1String("press"))
                    pressSeen.push_back(double(events[e].ns - pressed) / 1e6);
            QThread::msleep(unsigned(pause(random)));
        }
        std::printf("press to first line, %s: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu presses, %d without a run)\n",
                    wake ? "event wake   " : "polling alone", percentile(firstLine, 50), percentile(firstLine, 99),
                    percentile(firstLine, 100), firstLine.size(), lost);
        std::printf("press to dispatch,   %s: p50 %.2f ms, p99 %.2f ms\n", wake ? "event wake   " : "polling alone",
                    percentile(pressSeen, 50), percentile(pressSeen, 99));
        program->terminate();
    }
}

void stop(const QString& display, platform::Desktop& presser, int rounds)
{
    // A to T: keys every keyboard map has, each with a busy script.
    QList<TriggerRow> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back({QString(QChar('A' + i)),
                        i % 2 ? QStringLiteral("./script/loop.txt") : QStringLiteral("./script/delay.txt"), true, false});
    const QMap<QString, QByteArray> scripts{
        {QStringLiteral("script/delay.txt"), "section down\r\ndelay 10000\r\nend section\r\nsection up\r\n\r\nend section\r\n"},
        {QStringLiteral("script/loop.txt"),
         "section down\r\nx=0\r\ndo while x>=0\r\nx=x+1\r\nloop\r\nend section\r\nsection up\r\n\r\nend section\r\n"}};
    auto program = startProgram(display, rows, scripts, true);
    if (!program)
        return;
    RunTraceReader trace(program->path(QStringLiteral("trace.log")));
    std::vector<double> ms;
    int stillBusy = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::size_t before = trace.events().size();
        for (int i = 0; i < 20; ++i) {
            presser.keyboard().sendKey('A' + i, 0, 0);
            presser.keyboard().sendKey('A' + i, 0, platform::kKeyUp);
        }
        // Every run has reached its first line.
        std::size_t started = 0;
        for (int seen = int(before); started < 20; ++started) {
            seen = trace.waitFor([](const TraceEvent& e) { return e.what == QLatin1String("line"); }, 10000,
                                 std::size_t(seen));
            if (seen < 0)
                break;
            ++seen;
        }
        if (started < 20) {
            std::printf("round %d: only %zu of the 20 runs started\n", round, started);
            break;
        }
        QThread::msleep(200);
        const std::size_t from = trace.events().size();
        const long long pressed = RunTraceReader::nowNs();
        presser.keyboard().sendKey(0x7A, 0, 0);
        const int done = trace.waitFor([](const TraceEvent& e) { return e.what == QLatin1String("stopped"); }, 10000,
                                       from);
        presser.keyboard().sendKey(0x7A, 0, platform::kKeyUp);
        if (done < 0) {
            std::printf("round %d: the stop key was never handled\n", round);
            break;
        }
        const TraceEvent& event = trace.events()[std::size_t(done)];
        ms.push_back(double(event.ns - pressed) / 1e6);
        stillBusy += event.words.value(0).toInt();
        // The stop key disarmed the rows; the next press arms them again.
        QThread::msleep(100);
        const std::size_t rearm = trace.events().size();
        presser.keyboard().sendKey(0x7A, 0, 0);
        presser.keyboard().sendKey(0x7A, 0, platform::kKeyUp);
        trace.waitFor([](const TraceEvent& e) { return e.what == QLatin1String("stopped"); }, 10000, rearm);
        QThread::msleep(100);
    }
    std::printf("stop key to 20 busy runs idle: median %.2f ms, p90 %.2f ms, worst %.2f ms (%zu rounds, %d runs "
                "still busy after it)\n",
                percentile(ms, 50), percentile(ms, 90), percentile(ms, 100), ms.size(), stillBusy);
    program->terminate();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Each figure shows as soon as it is measured, also when the output is a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QStringList args = app.arguments().mid(1);
    const int binaryAt = int(args.indexOf(QStringLiteral("--binary")));
    if (binaryAt >= 0 && binaryAt + 1 < args.size()) {
        g_binary = args[binaryAt + 1];
        args.remove(binaryAt, 2);
    }
    const QString display = qEnvironmentVariable("DISPLAY");
    auto presser = platform::openX11Desktop(display);
    if (display.isEmpty() || !presser) {
        std::fprintf(stderr, "no X11 display is available\n");
        return 1;
    }
    const QString what = args.value(0);
    if (what == QLatin1String("idle"))
        idle(display, args.value(1, QStringLiteral("60")).toInt());
    else if (what == QLatin1String("latency"))
        latency(display, *presser, args.value(1, QStringLiteral("200")).toInt());
    else if (what == QLatin1String("stop"))
        stop(display, *presser, args.value(1, QStringLiteral("10")).toInt());
    else {
        std::fprintf(stderr, "usage: program_input_bench idle|latency|stop [N] [--binary PATH]\n");
        return 2;
    }
    return 0;
}
