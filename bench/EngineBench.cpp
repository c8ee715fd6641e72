// Engine timings, printed as plain lines (not a Google Benchmark):
//  1. Start-up and five workloads run by `quillon --run` beside the same work in
//     /usr/bin/python3 (written inside a function, the fast form), each pair
//     alternating, the medians of the pairs and their ratio.
//  2. Parse time of large scripts (lines x routines, unclosed and nested
//     blocks, many subs), in this process.
//  3. Stopping 20 busy runs from the thread that runs the event loop.
//  4. CPU time of a run sitting in "delay 10000".
// Usage: engine_bench [path/to/quillon] [pairs]   (default: beside this program, 11)
// The machine may be shared: read the medians, not single runs.
#include "script/ScriptThrd.h"
#include "script/Scripert.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using quillon::script::TScripert;
using quillon::script::tscriptthrd;

struct Workload {
    const char* name;
    const char* script;
    const char* python;
};

const Workload kWorkloads[] = {
    // What both sides cost before any work: the other rows include it.
    {"start-up and an empty script",
     "x=0\n",
     "def f():\n x=0\nf()\n"},
    {"do-while loop, 1M passes",
     "i=0\ns=0\ndo while i<1000000\ni=i+1\ns=s+i*2\nloop\n",
     "def f():\n i=0\n s=0\n while i<1000000:\n  i=i+1\n  s=s+i*2\nf()\n"},
    {"if/elseif chain, 300k passes",
     "i=0\na=0\nb=0\nc=0\nd=0\ndo while i<300000\ni=i+1\nk=i mod 4\nif k=0 then\na=a+1\nelseif k=1 then\nb=b+1\n"
     "elseif k=2 then\nc=c+1\nelse\nd=d+1\nend if\nloop\n",
     "def f():\n i=0; a=0; b=0; c=0; d=0\n while i<300000:\n  i=i+1\n  k=i%4\n  if k==0:\n   a=a+1\n"
     "  elif k==1:\n   b=b+1\n  elif k==2:\n   c=c+1\n  else:\n   d=d+1\nf()\n"},
    {"strings: Mid, InStr, Replace, 200k passes",
     "i=0\nn=0\ndo while i<200000\ni=i+1\ns=\"abc\" & i\nt=Mid(s, 2, 3)\np=InStr(s, \"c\")\nr=Replace(s, \"b\", \"x\")\n"
     "n=n+Len(t)+p+Len(r)\nloop\n",
     "def f():\n i=0; n=0\n while i<200000:\n  i=i+1\n  s='abc'+str(i)\n  t=s[1:4]\n  p=s.find('c')+1\n"
     "  r=s.replace('b','x')\n  n=n+len(t)+p+len(r)\nf()\n"},
    {"function calls, 100k",
     "i=0\ns=0\ndo while i<100000\ni=i+1\ns = add(s, i)\nloop\nendscript\nfunction add(a, b)\nadd=a+b\nend function\n",
     "def add(a, b):\n return a+b\ndef f():\n i=0; s=0\n while i<100000:\n  i=i+1\n  s=add(s, i)\nf()\n"},
    {"ReDim, fill and sum 1M elements",
     "ReDim a(999999)\ni=0\ndo while i<1000000\na(i)=i\ni=i+1\nloop\ns=0\ni=0\ndo while i<1000000\ns=s+a(i)\ni=i+1\nloop\n",
     "def f():\n a=[0]*1000000\n i=0\n while i<1000000:\n  a[i]=i\n  i=i+1\n s=0\n i=0\n"
     " while i<1000000:\n  s=s+a[i]\n  i=i+1\nf()\n"},
};

double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = -1;
    double cpu = -1;  // user + system time of the process
};

Timing timeProcess(const QString& program, const QStringList& args)
{
    QProcess p;
    const double cpu0 = childCpuSeconds();
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return {};
    }
    return {double(t.nsecsElapsed()) / 1e9, childCpuSeconds() - cpu0};
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void workloads(const QString& quillon, int pairs)
{
    QTemporaryDir dir;
    std::printf("quillon --run against /usr/bin/python3, %d alternating pairs, medians (quillon / python3):\n",
                pairs);
    int index = 0;
    // The start-up row's medians: each later row also shows its ratio with
    // both sides' start-up taken away (the work alone).
    double ourStart = -1, theirStart = -1;
    for (const Workload& w : kWorkloads) {
        const QString script = writeFile(dir, QStringLiteral("w%1.txt").arg(index), w.script);
        const QString python = writeFile(dir, QStringLiteral("w%1.py").arg(index), w.python);
        ++index;
        std::vector<double> ours, theirs, ratios, oursCpu, theirsCpu, cpuRatios;
        for (int i = 0; i < pairs; ++i) {
            const Timing q = timeProcess(quillon, {QStringLiteral("--run"), script});
            const Timing p = timeProcess(QStringLiteral("/usr/bin/python3"), {python});
            if (q.wall < 0 || p.wall < 0)
                return;
            ours.push_back(q.wall);
            theirs.push_back(p.wall);
            ratios.push_back(q.wall / p.wall);
            oursCpu.push_back(q.cpu);
            theirsCpu.push_back(p.cpu);
            cpuRatios.push_back(q.cpu / std::max(p.cpu, 1e-3));
        }
        std::printf("  %-42s wall %.3f / %.3f s = %.2f   cpu %.3f / %.3f s = %.2f", w.name, median(ours),
                    median(theirs), median(ratios), median(oursCpu), median(theirsCpu), median(cpuRatios));
        if (ourStart < 0) {
            ourStart = median(ours);
            theirStart = median(theirs);
        } else if (median(theirs) > theirStart) {
            std::printf("   work alone %.2f", (median(ours) - ourStart) / (median(theirs) - theirStart));
        }
        std::printf("\n");
    }
}

double parseSeconds(const QString& text)
{
    TScripert engine;
    engine.OnError = [](int, int, int, const QString&) {};
    QElapsedTimer t;
    t.start();
    engine.LoadScriptText(text);
    return double(t.nsecsElapsed()) / 1e9;
}

void parsing()
{
    auto lines = [](int count, const QString& line) {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << QString(line).replace(QLatin1String("%n"), QString::number(i));
        return out;
    };
    QStringList plain = lines(100000, QStringLiteral("x%n = x%n + 1"));
    QStringList withRoutines = lines(99200, QStringLiteral("x%n = x%n + 1"));
    for (int i = 0; i < 800; ++i)
        withRoutines << QStringLiteral("sub routine%1").arg(i);
    QStringList nested = lines(10000, QStringLiteral("if x then")) + lines(10000, QStringLiteral("end if"));
    QStringList subs;
    for (int i = 0; i < 10000; ++i)
        subs << QStringLiteral("sub s%1(a)").arg(i) << QStringLiteral("a=a+1") << QStringLiteral("end sub");
    const struct {
        const char* name;
        QStringList text;
    } cases[] = {
        {"100k lines, no routines", plain},
        {"100k lines, 800 routines", withRoutines},
        {"40k unclosed ifs", lines(40000, QStringLiteral("if x then"))},
        {"10k nested ifs", nested},
        {"10k subs (30k lines)", subs},
    };
    std::printf("parse time (LoadScriptText, median of 5):\n");
    for (const auto& c : cases) {
        const QString text = c.text.join(QLatin1Char('\n'));
        std::vector<double> times;
        for (int i = 0; i < 5; ++i)
            times.push_back(parseSeconds(text));
        std::printf("  %-28s %.3f s\n", c.name, median(times));
    }
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void stopManyRuns(const char* what, const char* script, bool requestFirst)
{
    TScripert templ;
    templ.LoadScriptText(QString::fromLatin1(script));
    std::vector<double> totals;
    for (int round = 0; round < 11; ++round) {
        std::vector<std::unique_ptr<tscriptthrd>> runs;
        for (int i = 0; i < 20; ++i) {
            runs.push_back(std::make_unique<tscriptthrd>(nullptr, &templ));
            runs.back()->setSectionName(QStringLiteral("down"));
            runs.back()->resume();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QElapsedTimer t;
        t.start();
        if (requestFirst) {
            for (auto& run : runs)
                run->Engine()->requestStop();
        }
        for (auto& run : runs)
            run->Stop();
        totals.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("Stop of 20 runs busy %s%s, on the event-loop thread: median %.2f ms in all (11 rounds)\n", what,
                requestFirst ? " (every stop requested first)" : "", median(totals));
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
    std::printf("delay 10000 for %.1f s: %.4f s CPU = %.3f %% of one core\n", wall.elapsed() / 1000.0, cpu,
                100.0 * cpu / (wall.elapsed() / 1000.0));
    run.Stop();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString quillon = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QCoreApplication::applicationDirPath() + QStringLiteral("/quillon");
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;
    workloads(quillon, pairs);
    parsing();
    const char* waiting = "section down\ndo while 1=1\nx=x+1\ndelay 20\nloop\nend section";
    const char* spinning = "section down\ndo while 1=1\nx=x+1\nloop\nend section";
    stopManyRuns("in delays", waiting, false);
    stopManyRuns("on the CPU", spinning, false);
    stopManyRuns("on the CPU", spinning, true);
    delayCost();
    return 0;
}
