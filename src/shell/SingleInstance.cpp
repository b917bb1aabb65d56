#include "shell/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray presentCommand = QByteArrayLiteral("present");
const QByteArray presentReply = QByteArrayLiteral("ok\n");
const QByteArray quickPasteRequest = QByteArrayLiteral("quick-paste\n");
// A running instance that is still starting may not listen yet.
constexpr int contactTimeoutMs = 5000;

// Tokens are opaque to us; printable ASCII without spaces is all a compositor hands out.
bool isActivationToken(QByteArrayView token)
{
    return !token.isEmpty() && token.size() <= SingleInstance::maxActivationTokenBytes &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

QByteArray presentRequest(const QByteArray& activationToken)
{
    return isActivationToken(activationToken) ? presentCommand + ' ' + activationToken + '\n'
                                              : presentCommand + '\n';
}

// The token of a present request (empty when it brings none or one that is no token), or nothing
// when the line is no present request.
std::optional<QByteArray> parsePresentRequest(QByteArrayView line)
{
    if (!line.endsWith('\n'))
        return std::nullopt;
    line.chop(1);
    if (line == presentCommand)
        return QByteArray();
    if (!line.startsWith(presentCommand + ' '))
        return std::nullopt;
    const QByteArrayView token = line.sliced(presentCommand.size() + 1);
    return isActivationToken(token) ? token.toByteArray() : QByteArray();
}

} // namespace

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent), m_directory(directory.isEmpty() ? defaultDirectory() : std::move(directory))
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = m_server.nextPendingConnection())
            answer(connection);
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/clipwell");
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Clipwell/instance");
}

QString SingleInstance::socketPath() const
{
    return m_directory + QStringLiteral("/instance.socket");
}

SingleInstance::Claim SingleInstance::claim(bool present, const QByteArray& activationToken)
{
    return claimAs(present, false, activationToken);
}

SingleInstance::Claim SingleInstance::claimForQuickPaste()
{
    return claimAs(false, true, {});
}

SingleInstance::Claim SingleInstance::claimAs(bool present, bool quickPaste,
                                              const QByteArray& activationToken)
{
    if (!prepareDirectory())
        return Claim::failed;
    m_lock = std::make_unique<QLockFile>(m_directory + QStringLiteral("/instance.lock"));
    // Held for the whole life of the process; only a dead owner makes it stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return listen();
    if (m_lock->error() == QLockFile::LockFailedError)
        return present || quickPaste
                   ? contactRunningInstance(quickPaste ? quickPasteRequest : presentRequest(activationToken))
                   : Claim::secondary;
    m_error = QStringLiteral("Clipwell cannot create its instance lock in %1.").arg(m_directory);
    return Claim::failed;
}

bool SingleInstance::prepareDirectory()
{
    // The folders above are the user's own (the cache folder); only the last one must be private.
    const QString parent = QFileInfo(m_directory).path();
    if (!QDir().mkpath(parent)) {
        m_error = QStringLiteral("Clipwell cannot create the folder %1.").arg(parent);
        return false;
    }
    const QByteArray path = QFile::encodeName(m_directory);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        m_error = QStringLiteral("Clipwell cannot create the folder %1: %2")
                      .arg(m_directory, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // In a shared temporary folder someone else could have made it first: use only a private folder
    // of our own, never through a link.
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 0077) != 0) {
        m_error = QStringLiteral("Clipwell will not use %1: it must be a folder of your own that only you "
                                 "can open.")
                      .arg(m_directory);
        return false;
    }
    return true;
}

SingleInstance::Claim SingleInstance::listen()
{
    // We hold the lock, so a socket file still there was left by an instance that crashed.
    QLocalServer::removeServer(socketPath());
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(socketPath()))
        // Still the instance; later launches just cannot reach it.
        qWarning("Clipwell cannot listen on %s: %s", qPrintable(socketPath()),
                 qPrintable(m_server.errorString()));
    return Claim::primary;
}

SingleInstance::Claim SingleInstance::contactRunningInstance(const QByteArray& request)
{
    const QDeadlineTimer deadline(contactTimeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500)) {
            socket.write(request);
            socket.waitForBytesWritten(500);
            while (socket.bytesAvailable() < presentReply.size() &&
                   socket.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)))) {
            }
            if (socket.readAll().startsWith(presentReply))
                return Claim::secondary;
        }
        QThread::msleep(100);
    }
    qint64 pid = 0;
    QString host, application;
    m_lock->getLockInfo(&pid, &host, &application);
    m_error = QStringLiteral("Clipwell is already running (process %1) but does not answer.").arg(pid);
    return Claim::failed;
}

bool SingleInstance::sendQuickPaste(const QString& directory)
{
    const QByteArray path = QFile::encodeName((directory.isEmpty() ? defaultDirectory() : directory) +
                                              QStringLiteral("/instance.socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const timeval patience{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    // Once the line is sent the press is delivered: sent again by a claim, it would step twice.
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      ::send(fd, quickPasteRequest.constData(), quickPasteRequest.size(), MSG_NOSIGNAL) ==
                          quickPasteRequest.size();
    // The answer, waited for briefly, only keeps the connection open until the line is read.
    char reply[3];
    if (sent)
        ::recv(fd, reply, sizeof reply, MSG_WAITALL);
    ::close(fd);
    return sent;
}

void SingleInstance::answer(QLocalSocket* connection)
{
    connection->setParent(this);
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    const auto drop = [connection] {
        connection->abort();
        connection->deleteLater();
    };
    if (m_connections >= maxConnections) {
        drop();
        return;
    }
    ++m_connections;
    connect(connection, &QObject::destroyed, this, [this] { --m_connections; });
    // Qt stops reading from the socket once this much waits, so nobody can make us hold more.
    connection->setReadBufferSize(maxRequestBytes);
    auto* idle = new QTimer(connection);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, connection, drop);
    idle->start(m_idleTimeout);
    const auto readRequest = [this, connection, drop] {
        if (!connection->canReadLine()) {
            if (connection->bytesAvailable() >= maxRequestBytes)
                drop();
            return;
        }
        const QByteArray line = connection->readLine();
        if (const std::optional<QByteArray> token = parsePresentRequest(line)) {
            Q_EMIT presentRequested(*token);
            connection->write(presentReply);
            connection->flush();
        } else if (line == quickPasteRequest) {
            Q_EMIT quickPasteRequested();
            connection->write(presentReply);
            connection->flush();
        }
        connection->disconnectFromServer();
    };
    connect(connection, &QLocalSocket::readyRead, connection, readRequest);
    // The request may have arrived with the connection.
    readRequest();
}
