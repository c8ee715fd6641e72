// The run log: what went wrong in script runs, for the user to read below
// the trigger table. Each entry is one error of a pass or one script that
// could not be loaded, with the time, the trigger key of the run, the script
// file, the 0-based line and column, the error number and its description.
//
// Runs add entries from their own threads. Adding takes a short lock, never
// waits for the window, and keeps only the newest entries; the window hears
// of new entries through one queued notification however many arrive before
// it gets to them.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class QPlainTextEdit;
class QToolButton;

namespace quillon::app {

struct RunLogEntry {
    QDateTime time;
    QString key;          // the run's key: F1, or F1_2 for a repeat run
    QString script;       // the script file as the row names it; empty: a key notice
    int line = -1;        // -1: the file could not be loaded (or a key notice)
    int column = 0;
    int number = 0;
    QString description;
    std::uint64_t serial = 0;  // given by the log, counting from 1
};

// One line of text for an entry, as the window shows it.
QString formatRunLogEntry(const RunLogEntry& entry);

class RunLog : public QObject {
    Q_OBJECT
public:
    static constexpr int kCapacity = 500;

    explicit RunLog(QObject* parent = nullptr, int capacity = kCapacity);

    // Any thread. Stamps the time when the entry has none.
    void add(RunLogEntry entry);
    // The entries kept, oldest first, whose serial is above `serial`.
    std::vector<RunLogEntry> entriesAfter(std::uint64_t serial) const;
    int size() const;
    // Entries ever added (dropped ones included).
    std::uint64_t total() const;

signals:
    // Queued to the log's thread after entries were added.
    void added();

private:
    void notify();

    const int m_capacity;
    mutable std::mutex m_mutex;
    std::deque<RunLogEntry> m_entries;  // guarded by m_mutex
    std::uint64_t m_serial = 0;         // guarded by m_mutex
    std::atomic<bool> m_notifyPending{false};
};

// The log below the table: a bar that collapses and expands it, and the
// newest entries, at most the log's capacity.
class RunLogView : public QWidget {
    Q_OBJECT
public:
    RunLogView(RunLog& log, QWidget* parent = nullptr);
    bool expanded() const;
    void setExpanded(bool on);
    QString text() const;

private:
    void refresh();
    void updateBar();

    RunLog& m_log;
    QToolButton* m_bar;
    QPlainTextEdit* m_text;
    std::uint64_t m_shown = 0;
};

}  // namespace quillon::app
