// Script workloads against the same work in python3, printed as plain lines
// (not a Google Benchmark): `quillon --run` on a script file beside
// /usr/bin/python3 running the equivalent code inside a function (the fast
// form an engineer would compare against). Runs alternate between the two;
// each workload reports the median of its pairs and the ratio of medians.
//
//   arrays   ReDim a million elements, fill them, sum them
//   strings  build a 100k-character string with Mid, look each character up
//            with InStr, Replace in the result
//   preserve grow an array one element at a time with ReDim Preserve, 100k times
//
// Usage: vbs_workload_bench [--pairs N] [--only NAME] [path/to/quillon]
// (default: 11 pairs, every workload, quillon beside this program).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Workload {
    const char* name;
    const char* script;  // a script file for `quillon --run`
    const char* python;  // the same work for python3
};

const Workload kWorkloads[] = {
    {"arrays",
     "section down\n"
     "n=1000000\n"
     "redim a(n-1)\n"
     "for i=0 to n-1\n"
     "a(i)=i\n"
     "next\n"
     "s=0\n"
     "for i=0 to n-1\n"
     "s=s+a(i)\n"
     "next\n"
     "messagebox s\n"
     "end section\n",
     "def main():\n"
     "    n = 1000000\n"
     "    a = [None] * n\n"
     "    for i in range(n):\n"
     "        a[i] = i\n"
     "    s = 0\n"
     "    for i in range(n):\n"
     "        s = s + a[i]\n"
     "    print(s)\n"
     "main()\n"},
    {"strings",
     "section down\n"
     "s=\"\"\n"
     "for i=1 to 100000\n"
     "s=s & Mid(\"abcdefghij\", (i mod 10)+1, 1)\n"
     "next\n"
     "n=0\n"
     "for i=1 to 100000\n"
     "n=n+InStr(1, \"abcdefghij\", Mid(s, i, 1))\n"
     "next\n"
     "t=Replace(s, \"a\", \"xy\")\n"
     "messagebox n & \" \" & Len(t)\n"
     "end section\n",
     "def main():\n"
     "    s = ''\n"
     "    for i in range(1, 100001):\n"
     "        s = s + 'abcdefghij'[i % 10:i % 10 + 1]\n"
     "    n = 0\n"
     "    for i in range(1, 100001):\n"
     "        n = n + 'abcdefghij'.find(s[i - 1:i]) + 1\n"
     "    t = s.replace('a', 'xy')\n"
     "    print(n, len(t))\n"
     "main()\n"},
    {"preserve",
     "section down\n"
     "dim a()\n"
     "for i=0 to 99999\n"
     "redim preserve a(i)\n"
     "a(i)=i\n"
     "next\n"
     "messagebox ubound(a)\n"
     "end section\n",
     "def main():\n"
     "    a = []\n"
     "    for i in range(100000):\n"
     "        a.append(i)\n"
     "    print(len(a) - 1)\n"
     "main()\n"},
};

// Wall time of one run in seconds, and its standard output; -1 on failure.
double timeProcess(const QString& program, const QStringList& args, QByteArray* output)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return -1;
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    *output = p.readAllStandardOutput().trimmed();
    return seconds;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool run(const Workload& w, const QString& quillon, int pairs)
{
    QTemporaryDir dir;
    const QString scriptPath = dir.filePath(QString::fromLatin1(w.name) + QStringLiteral(".txt"));
    QFile f(scriptPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(w.script) < 0)
        return false;
    f.close();
    const QStringList quillonArgs{QStringLiteral("--run"), scriptPath, QStringLiteral("--section"),
                                  QStringLiteral("down")};
    const QStringList pythonArgs{QStringLiteral("-c"), QString::fromLatin1(w.python)};
    const QString python = QStringLiteral("/usr/bin/python3");
    std::vector<double> q, py;
    QByteArray qOut, pyOut;
    for (int i = 0; i < pairs; ++i) {
        // Alternate which of the two goes first, so neither always runs on a
        // cache the other warmed.
        double a, b;
        if (i % 2 == 0) {
            a = timeProcess(quillon, quillonArgs, &qOut);
            b = timeProcess(python, pythonArgs, &pyOut);
        } else {
            b = timeProcess(python, pythonArgs, &pyOut);
            a = timeProcess(quillon, quillonArgs, &qOut);
        }
        if (a < 0 || b < 0)
            return false;
        q.push_back(a);
        py.push_back(b);
    }
    if (qOut != pyOut) {
        std::fprintf(stderr, "%s: the two disagree: quillon %s, python3 %s\n", w.name, qOut.constData(),
                     pyOut.constData());
        return false;
    }
    const double mq = median(q), mp = median(py);
    std::printf("%-9s quillon %.3f s  python3 %.3f s  ratio %.2f  (medians of %d pairs, result %s)\n", w.name, mq,
                mp, mq / mp, pairs, qOut.constData());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString quillon = QCoreApplication::applicationDirPath() + QStringLiteral("/quillon");
    QString only;
    int pairs = 11;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pairs") && i + 1 < args.size())
            pairs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--only") && i + 1 < args.size())
            only = args[++i];
        else
            quillon = args[i];
    }
    bool ok = true;
    for (const Workload& w : kWorkloads) {
        if (only.isEmpty() || only == QLatin1String(w.name))
            ok = run(w, quillon, pairs) && ok;
    }
    return ok ? 0 : 1;
}
