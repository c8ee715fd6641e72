#include "RunTraceReader.h"

#include <QElapsedTimer>
#include <QFile>

#include <ctime>
#include <thread>

namespace quillon::x11test {

long long RunTraceReader::nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void RunTraceReader::readMore()
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= m_offset)
        return;
    file.seek(m_offset);
    const QByteArray bytes = file.readAll();
    m_offset += bytes.size();
    m_partial += bytes;
    // Only whole lines: the program may be half-way through one.
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QStringList words = QString::fromUtf8(m_partial.left(end)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        m_partial.remove(0, end + 1);
        if (words.size() < 2)
            continue;
        m_events.push_back({words[0].toLongLong(), words[1], words.mid(2)});
    }
}

const std::vector<TraceEvent>& RunTraceReader::events()
{
    readMore();
    return m_events;
}

int RunTraceReader::waitFor(const std::function<bool(const TraceEvent&)>& match, int timeoutMs, std::size_t from)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        readMore();
        for (std::size_t i = from; i < m_events.size(); ++i)
            if (match(m_events[i]))
                return int(i);
        from = m_events.size();
        if (clock.elapsed() > timeoutMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

QStringList RunTraceReader::passes()
{
    QStringList result;
    for (const TraceEvent& event : events())
        if (event.what == QLatin1String("line") && event.words.size() >= 2)
            result << event.words[0] + QLatin1Char(' ') + event.words[1];
    return result;
}

std::function<bool(const TraceEvent&)> passOf(const QString& runKey, const QString& section)
{
    return [runKey, section](const TraceEvent& event) {
        return event.what == QLatin1String("line") && event.words.size() >= 2 && event.words[0] == runKey
               && event.words[1] == section;
    };
}

}  // namespace quillon::x11test
