// A loopback HTTP server for the usage report tests: it records every
// request it receives, whole, and answers "200 OK" or, when told to, never
// answers at all.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::desktoptest {

struct RecordedRequest {
    QByteArray method;
    QByteArray target;
    QByteArray headers;
    QByteArray body;
    // The multipart/form-data fields in the order they came.
    std::vector<std::pair<QByteArray, QByteArray>> fields;
};

class HttpRecorder {
public:
    explicit HttpRecorder(bool answer = true);
    ~HttpRecorder();

    // "http://127.0.0.1:PORT/".
    QString baseUrl() const;
    std::vector<RecordedRequest> requests() const;
    // Connections accepted so far (answered or not).
    int connections() const { return m_connections.load(); }
    // Waits until `count` requests arrived; false on time-out.
    bool waitForRequests(int count, int timeoutMs) const;

private:
    void serve();
    void handle(int client);

    int m_listener = -1;
    int m_port = 0;
    bool m_answer;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::vector<RecordedRequest> m_requests;
    std::vector<int> m_open;
    std::thread m_thread;
};

// The fields of a multipart/form-data body with the given content type.
std::vector<std::pair<QByteArray, QByteArray>> multipartFields(const QByteArray& contentType,
                                                               const QByteArray& body);

}  // namespace quillon::desktoptest
