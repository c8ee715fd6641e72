#include "ZeMath.h"

#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <thread>

namespace quillon::base {

namespace {

QString normalized(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    return path;
}

bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\'))
        || (path.size() >= 2 && path.at(1) == QLatin1Char(':'));
}

bool onEventLoopThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

bool makeDirectories(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString p = normalized(path);
    if (p.split(QLatin1Char('/'), Qt::SkipEmptyParts).isEmpty())
        return true;
    QDir().mkpath(p);
    return true;
}

QString executableFile()
{
    QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (exe.isEmpty() && QCoreApplication::instance())
        exe = QCoreApplication::applicationFilePath();
    return exe;
}

QString executableDirectory()
{
    QString dir = QFileInfo(executableFile()).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString executableRelativePath(const QString& path)
{
    const QString base = programLayout().dataDirectory;
    if (path.isEmpty())
        return base;
    if (isAbsolute(path))
        return normalized(path);
    return combinePaths(base, path);
}

QString combinePaths(const QString& base, const QString& relative)
{
    QString b = base;
    b.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    QString r = relative;
    r.replace(QLatin1Char('\\'), QLatin1Char('/'));

    const QStringList parts = r.split(QLatin1Char('/'));
    int climbs = 0;
    int lastClimb = -1;
    for (int i = 0; i < parts.size(); ++i) {
        if (parts[i] == QLatin1String("..")) {
            ++climbs;
            lastClimb = i;
        }
    }

    // The base splits into pieces that keep their separator: "/app/sub" is
    // "/", "app/", "sub". Each climb drops one piece from the end.
    QStringList pieces;
    int start = 0;
    for (int i = 0; i < b.size(); ++i) {
        if (b.at(i) == QLatin1Char('/')) {
            pieces << b.mid(start, i - start + 1);
            start = i + 1;
        }
    }
    if (start < b.size())
        pieces << b.mid(start);
    QString result;
    for (int i = 0; i < pieces.size() - climbs; ++i)
        result += pieces[i];

    QString tail = climbs > 0 ? parts.mid(lastClimb + 1).join(QLatin1Char('/')) : r;
    if (!tail.startsWith(QLatin1Char('/')))
        tail.prepend(QLatin1Char('/'));
    result += tail;
    while (result.contains(QLatin1String("//")))
        result.replace(QLatin1String("//"), QLatin1String("/"));
    return result;
}

QString executableDirectoryAsCurrent()
{
    const QString dir = programLayout().dataDirectory;
    QDir::setCurrent(dir);
    return dir;
}

QStringList split(const QString& text, const QString& delimiter)
{
    QStringList result;
    if (text.isEmpty())
        return result;
    if (delimiter.isEmpty()) {
        if (!text.trimmed().isEmpty())
            result << text;
        return result;
    }
    QString rest = text;
    if (rest.startsWith(delimiter))
        rest.remove(0, delimiter.size());
    qsizetype at;
    while ((at = rest.indexOf(delimiter)) >= 0) {
        result << rest.left(at);
        rest.remove(0, at + delimiter.size());
    }
    if (!rest.trimmed().isEmpty())
        result << rest;
    return result;
}

int indexOfInt(int value, const std::vector<int>& values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] == value)
            return int(i);
    }
    return -1;
}

void pumpingDelay(int ms)
{
    if (ms <= 0)
        return;
    if (!onEventLoopThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void busyDelay(int ms)
{
    pumpingDelay(ms);
}

}  // namespace quillon::base
