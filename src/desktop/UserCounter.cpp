#include "UserCounter.h"

#include "ZenIdhttp.h"
#include "base/ZeMath.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QSysInfo>

#include <chrono>
#include <cstdio>

namespace quillon::desktop {

TUserCounter::TUserCounter() = default;

TUserCounter::~TUserCounter()
{
    Finish(0);
}

void TUserCounter::StartupReport(const QString& applicationId, const QString& machineCode,
                                 const QString& url)
{
    if (!applicationId.isEmpty())
        appid = applicationId;
    if (!machineCode.isEmpty())
        mCode = machineCode;
    if (!url.isEmpty())
        counterUrl = url;
    enqueue(QStringLiteral("true"));
}

void TUserCounter::ClosingReport()
{
    enqueue(QStringLiteral("false"));
}

void TUserCounter::enqueue(const QString& status)
{
    if (counterUrl.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    if (m_quit)
        return;
    m_queue.push_back({counterUrl, appid, mCode, status, connectTimeoutMs, totalTimeoutMs});
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_changed.notify_all();
}

bool TUserCounter::Finish(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const bool done = m_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                         [this] { return m_queue.empty() && !m_busy; });
    m_quit = true;
    if (!done)
        m_abort = true;
    m_queue.clear();
    m_changed.notify_all();
    lock.unlock();
    if (m_thread.joinable())
        m_thread.join();
    return done;
}

void TUserCounter::run()
{
    TZenIdhttp http;
    http.abort = &m_abort;
    for (;;) {
        Report report;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            report = m_queue.front();
            m_queue.pop_front();
            m_busy = true;
        }
        http.connectTimeoutMs = report.connectTimeoutMs;
        http.totalTimeoutMs = report.totalTimeoutMs;
        http.AddParameter(QStringLiteral("appid"), report.appid);
        http.AddParameter(QStringLiteral("mcode"), report.mcode);
        http.AddParameter(QStringLiteral("status"), report.status);
        QString error;
        if (!http.Post(report.url, &error)) {
            ++m_failures;
            const QString message =
                QStringLiteral("usage report to %1 failed: %2").arg(report.url, error);
            if (OnReportFailed)
                OnReportFailed(message);
            else
                std::fprintf(stderr, "quillon: %s\n", qPrintable(message));
        }
        std::lock_guard lock(m_mutex);
        m_busy = false;
        m_changed.notify_all();
    }
}

QString counterUrlFor(const QString& endpoint)
{
    const QString base = endpoint.trimmed();
    if (base.isEmpty())
        return {};
    const QString path = QStringLiteral("appCounter/counter.php");
    if (base.endsWith(path))
        return base;
    return base.endsWith(QLatin1Char('/')) ? base + path : base + QLatin1Char('/') + path;
}

QString configuredEndpoint(const QString& settingsFile)
{
    const QString fromEnvironment = qEnvironmentVariable("QUILLON_COUNTER_URL").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (settingsFile.isEmpty())
        return {};
    const QSettings settings(settingsFile, QSettings::IniFormat);
    return settings.value(QStringLiteral("endpoint")).toString().trimmed();
}

QString counterSettingsFile()
{
    return base::executableRelativePath(QStringLiteral("cfg/counter.ini"));
}

QString machineCode()
{
    QByteArray id = QSysInfo::machineUniqueId();
    if (id.isEmpty())
        id = QSysInfo::machineHostName().toUtf8();
    // Salted, so that the code cannot be matched with the machine id that
    // other programs see.
    const QByteArray hash =
        QCryptographicHash::hash("quillon machine code\n" + id, QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.toHex().left(32));
}

}  // namespace quillon::desktop
