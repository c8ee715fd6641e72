// Reads the run trace the program writes when QUILLON_TRACE names a file
// (src/app/RunTrace.h): one event per line, "<ns> <what> <words...>",
// stamped with CLOCK_MONOTONIC, which this process reads too.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quillon::x11test {

struct TraceEvent {
    long long ns = 0;
    QString what;       // press, release, line, stopped
    QStringList words;  // the rest: key; run key, section, line; busy count
};

class RunTraceReader {
public:
    explicit RunTraceReader(const QString& fileName) : m_fileName(fileName) {}

    // Every event written so far, oldest first.
    const std::vector<TraceEvent>& events();
    // Waits up to `timeoutMs` for an event after the first `from` events that
    // satisfies `match`; its index, or -1 on time-out.
    int waitFor(const std::function<bool(const TraceEvent&)>& match, int timeoutMs, std::size_t from = 0);
    // The first line events of passes, as "runkey section" in order.
    QStringList passes();

    static long long nowNs();

private:
    void readMore();

    QString m_fileName;
    qint64 m_offset = 0;
    QByteArray m_partial;
    std::vector<TraceEvent> m_events;
};

// A matcher for the first line of a pass of `section` by run `runKey`.
std::function<bool(const TraceEvent&)> passOf(const QString& runKey, const QString& section);

}  // namespace quillon::x11test
