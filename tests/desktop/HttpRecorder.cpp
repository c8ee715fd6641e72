#include "HttpRecorder.h"

#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillon::desktoptest {

namespace {

QByteArray headerValue(const QByteArray& headers, const QByteArray& name)
{
    for (const QByteArray& line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

}  // namespace

std::vector<std::pair<QByteArray, QByteArray>> multipartFields(const QByteArray& contentType,
                                                               const QByteArray& body)
{
    std::vector<std::pair<QByteArray, QByteArray>> fields;
    const qsizetype at = contentType.indexOf("boundary=");
    if (at < 0)
        return fields;
    QByteArray boundary = "--" + contentType.mid(at + 9).trimmed();
    boundary.replace('"', "");
    qsizetype pos = body.indexOf(boundary);
    while (pos >= 0) {
        const qsizetype start = pos + boundary.size();
        if (body.mid(start, 2) == "--")
            break;
        const qsizetype next = body.indexOf(boundary, start);
        if (next < 0)
            break;
        const QByteArray part = body.mid(start + 2, next - start - 2 - 2);  // CRLF both sides
        const qsizetype split = part.indexOf("\r\n\r\n");
        const QByteArray headers = part.left(split);
        const QByteArray disposition = headerValue(headers, "Content-Disposition");
        const qsizetype nameAt = disposition.indexOf("name=\"");
        const QByteArray name =
            disposition.mid(nameAt + 6, disposition.indexOf('"', nameAt + 6) - nameAt - 6);
        fields.emplace_back(name, part.mid(split + 4));
        pos = next;
    }
    return fields;
}

HttpRecorder::HttpRecorder(bool answer) : m_answer(answer)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    ::listen(m_listener, 16);
    m_thread = std::thread([this] { serve(); });
}

HttpRecorder::~HttpRecorder()
{
    m_stop = true;
    m_thread.join();
    for (int fd : m_open)
        ::close(fd);
    ::close(m_listener);
}

QString HttpRecorder::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

std::vector<RecordedRequest> HttpRecorder::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool HttpRecorder::waitForRequests(int count, int timeoutMs) const
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (int(requests().size()) >= count)
            return true;
        QThread::msleep(10);
    }
    return int(requests().size()) >= count;
}

void HttpRecorder::serve()
{
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++m_connections;
        handle(client);
    }
}

void HttpRecorder::handle(int client)
{
    QByteArray data;
    qsizetype headerEnd = -1;
    qsizetype wanted = -1;
    bool continued = false;
    char buffer[4096];
    while (!m_stop) {
        if (headerEnd >= 0 && data.size() >= headerEnd + 4 + wanted)
            break;
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, n);
        if (headerEnd < 0 && (headerEnd = data.indexOf("\r\n\r\n")) >= 0) {
            wanted = headerValue(data.left(headerEnd), "Content-Length").toLongLong();
            if (!continued && headerValue(data.left(headerEnd), "Expect") == "100-continue") {
                const char cont[] = "HTTP/1.1 100 Continue\r\n\r\n";
                ::write(client, cont, sizeof cont - 1);
                continued = true;
            }
        }
    }
    RecordedRequest request;
    const QByteArray head = data.left(headerEnd);
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    request.method = words.value(0);
    request.target = words.value(1);
    request.headers = head;
    request.body = data.mid(headerEnd + 4);
    request.fields = multipartFields(headerValue(head, "Content-Type"), request.body);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    if (!m_answer) {
        // Keep the connection open and silent, as a server that hangs does.
        std::lock_guard lock(m_mutex);
        m_open.push_back(client);
        return;
    }
    const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
    ::write(client, reply, sizeof reply - 1);
    ::close(client);
}

}  // namespace quillon::desktoptest
