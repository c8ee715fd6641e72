// TUserCounter: reports to a counting service that the program started
// ("status" true) or is closing ("status" false), one multipart/form-data
// POST per report with the fields "appid", "mcode" and "status", in that
// order. Reports go out on a thread of the counter's own, one after another,
// so the window never waits for the network; Finish waits for what is left,
// at most a given time.
//
// Nothing is sent, and no connection is made, while counterUrl is empty. A
// failed report is written to standard error and changes nothing else.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon::desktop {

class TUserCounter {
public:
    TUserCounter();
    // Gives up what is still unsent and ends the thread.
    ~TUserCounter();
    TUserCounter(const TUserCounter&) = delete;
    TUserCounter& operator=(const TUserCounter&) = delete;

    QString counterUrl;
    QString mCode;
    QString appid;
    long connectTimeoutMs = 3000;
    long totalTimeoutMs = 5000;
    // Told about each failed report, on the counter's thread; by default the
    // failure goes to standard error.
    std::function<void(const QString& message)> OnReportFailed;

    // Each non-empty argument replaces appid, mCode or counterUrl; then
    // reports "true".
    void StartupReport(const QString& applicationId, const QString& machineCode,
                       const QString& url);
    // Reports "false" with the stored appid and mCode.
    void ClosingReport();

    // Waits until every report made so far is done, at most `timeoutMs`;
    // what is still going on then is given up. True when nothing was given
    // up.
    bool Finish(int timeoutMs);

    // Reports that failed so far.
    int failures() const { return m_failures.load(); }

private:
    struct Report {
        QString url;
        QString appid;
        QString mcode;
        QString status;
        long connectTimeoutMs;
        long totalTimeoutMs;
    };
    void enqueue(const QString& status);
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Report> m_queue;
    bool m_busy = false;
    bool m_quit = false;
    std::atomic<bool> m_abort{false};
    std::atomic<int> m_failures{0};
    std::thread m_thread;
};

// The service address for `endpoint` (a base address such as
// "http://host:port/"): endpoint + "appCounter/counter.php"; empty for an
// empty endpoint.
QString counterUrlFor(const QString& endpoint);

// The configured endpoint: $QUILLON_COUNTER_URL when set, else the key
// "endpoint" of the settings file `settingsFile` (an ini file); empty when
// neither names one.
QString configuredEndpoint(const QString& settingsFile);

// The settings file of the counter, "cfg/counter.ini" in the program folder.
QString counterSettingsFile();

// A stable code for this machine: a hash of its machine id (never the id
// itself), 32 hex digits.
QString machineCode();

}  // namespace quillon::desktop
