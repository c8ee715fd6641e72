// The run trace: when QUILLON_TRACE names a file, the window appends one
// line to it for each trigger event it acts on and for the first line of
// every pass a run executes, each stamped with the monotonic clock in
// nanoseconds (CLOCK_MONOTONIC, which other processes on the machine read
// too). Benchmarks and end-to-end tests time the program from outside with
// it, and a user can see which runs a key made:
//
//   <ns> armed F1           a key armed (its row checked), or disarmed
//   <ns> press F1           a press the dispatch acted on (stop key: F11)
//   <ns> release F1
//   <ns> line F2_1 down 3   run F2_1's pass of "down" reached line 3 first
//   <ns> stopped 0          the stop key's handling ended; 0 runs still busy
//
// Without the variable nothing is written and nothing is paid.
#pragma once

#include <QString>

#include <cstdio>
#include <memory>
#include <mutex>

namespace quillon::app {

inline constexpr const char* kRunTraceVariable = "QUILLON_TRACE";

class RunTrace {
public:
    // The trace named by QUILLON_TRACE, appended to; null when the variable
    // is unset or empty, or the file cannot be opened.
    static std::shared_ptr<RunTrace> fromEnvironment();
    explicit RunTrace(std::FILE* file);
    ~RunTrace();
    RunTrace(const RunTrace&) = delete;
    RunTrace& operator=(const RunTrace&) = delete;

    // Any thread: writes "<ns> <text>" as one line and flushes it, so a
    // reader sees it at once.
    void write(const QString& text);
    // The clock the lines are stamped with.
    static long long nowNs();

private:
    std::mutex m_mutex;
    std::FILE* m_file;
};

}  // namespace quillon::app
