#include "ZenMutex.h"

#include "platform/Desktop.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::desktop {

namespace {

const QByteArray kRequest = "activate\n";
const QByteArray kAnswer = "ok\n";

// A folder of our own: a real directory (not a link) owned by us that no one
// else may enter, so no other user can plant or steal the lock or socket.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
        && (st.st_mode & 077) == 0;
}

QString fileNameOf(const QString& key)
{
    // Percent-encoding keeps every caption a single, distinct file name; a
    // trailing blank becomes "%20" and stays part of the key.
    return QString::fromLatin1(QUrl::toPercentEncoding(key));
}

bool askFirstCopy(const QString& socketPath)
{
    QElapsedTimer timer;
    timer.start();
    // The first copy may have taken the lock a moment ago and not yet be
    // listening: try again for a while.
    while (timer.elapsed() < TZenMutex::kAnswerTimeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (!socket.waitForConnected(200)) {
            QThread::msleep(50);
            continue;
        }
        socket.write(kRequest);
        socket.waitForBytesWritten(200);
        QByteArray reply;
        while (!reply.contains('\n') && timer.elapsed() < TZenMutex::kAnswerTimeoutMs) {
            if (socket.waitForReadyRead(int(TZenMutex::kAnswerTimeoutMs - timer.elapsed())))
                reply += socket.readAll();
            else if (socket.state() != QLocalSocket::ConnectedState)
                break;
        }
        return reply == kAnswer;
    }
    return false;
}

// The first copy did not answer (it hangs, or is an older build): find its
// window the way a user would see it, by title and class.
void activateByWindowSearch(const QString& caption, const QString& className)
{
    const auto desktop = platform::openDefaultDesktop();
    if (!desktop || caption.isEmpty())
        return;
    platform::Windows& windows = desktop->windows();
    const auto handles = windows.topLevelWindows();
    const auto texts = windows.texts(handles, true, true);
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (texts[i].title.contains(caption) && texts[i].className == className) {
            windows.activate(handles[i]);
            return;
        }
    }
}

}  // namespace

TZenMutex::TZenMutex(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("ZenMutex"));
}

TZenMutex::~TZenMutex()
{
    if (m_server) {
        const QString path = m_server->fullServerName();
        delete m_server;
        QLocalServer::removeServer(path);
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString TZenMutex::keyOf(const QString& caption)
{
    const qsizetype at =
        std::max(caption.lastIndexOf(QLatin1Char('\\')), caption.lastIndexOf(QLatin1Char(':')));
    return caption.mid(at + 1);
}

QString TZenMutex::runtimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return QString::fromLocal8Bit(runtime) + QStringLiteral("/quillon/");
    const QByteArray fallback = "/tmp/quillon-" + QByteArray::number(::getuid());
    ::mkdir(fallback.constData(), 0700);
    if (!isPrivateFolder(fallback))
        return {};
    return QString::fromLocal8Bit(fallback) + QLatin1Char('/');
}

bool TZenMutex::claim(const QString& caption, const QString& className)
{
    const QString folder = runtimeFolder();
    if (folder.isEmpty()) {
        std::fprintf(stderr, "quillon: no private runtime folder; not guarding against a second copy\n");
        return true;
    }
    QDir().mkpath(folder);
    const QString base = folder + fileNameOf(keyOf(caption));
    const QByteArray lockPath = QFile::encodeName(base + QStringLiteral(".lock"));
    // Close-on-exec: a tool started from the program must not inherit the
    // lock and keep it after the program ended.
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0) {
        std::fprintf(stderr, "quillon: cannot open the instance lock: %s\n", std::strerror(errno));
        return true;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
        serve(base + QStringLiteral(".sock"));
        return true;
    }
    ::close(m_lockFd);
    m_lockFd = -1;
    if (!askFirstCopy(base + QStringLiteral(".sock")))
        activateByWindowSearch(caption, className);
    return false;
}

void TZenMutex::CheckSingleInstance(const QString& caption, const QString& className)
{
    if (claim(caption, className))
        return;
    std::fflush(nullptr);
    std::_Exit(0);
}

void TZenMutex::serve(const QString& socketPath)
{
    // Only the lock holder gets here, so a socket file left by a copy that
    // was killed is stale and can go.
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath)) {
        std::fprintf(stderr, "quillon: cannot listen for a second copy: %s\n",
                     qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // A request is one short line; anything longer is not ours.
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kRequest) {
                    socket->write(kAnswer);
                    socket->flush();
                    m_pending = true;
                    QTimer::singleShot(0, this, &TZenMutex::answer);
                }
                socket->disconnectFromServer();
            });
        }
    });
}

void TZenMutex::setOnActivate(std::function<void()> handler)
{
    m_onActivate = std::move(handler);
    if (m_pending)
        QTimer::singleShot(0, this, &TZenMutex::answer);
}

void TZenMutex::answer()
{
    if (!m_pending || !m_onActivate)
        return;
    m_pending = false;
    m_onActivate();
}

}  // namespace quillon::desktop
