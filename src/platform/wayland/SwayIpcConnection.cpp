#include "platform/wayland/SwayIpcConnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

// The files an include line names, as sway's shell-style expansion finds them: a leading ~,
// environment variables, a path relative to the including file, and wildcards in the file name.
QList<SwayIpc::ConfigFile> includedFiles(const QString& argument, const QString& includingPath)
{
    static const QRegularExpression variable(QStringLiteral("\\$\\{?([A-Za-z_][A-Za-z0-9_]*)\\}?"));
    QString path;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch& match : variable.globalMatch(argument)) {
        path += argument.mid(copied, match.capturedStart() - copied) +
                qEnvironmentVariable(match.captured(1).toLocal8Bit().constData());
        copied = match.capturedEnd();
    }
    path += argument.mid(copied);
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path.replace(0, 1, QDir::homePath());
    const QFileInfo pattern(QFileInfo(includingPath).dir(), path);
    // Like the shell, a wildcard matches a hidden file only when the pattern says so.
    const QDir::Filters filters =
        QDir::Files | QDir::Readable | QDir::CaseSensitive |
        (pattern.fileName().startsWith(QLatin1Char('.')) ? QDir::Hidden : QDir::Filters());
    QList<SwayIpc::ConfigFile> files;
    for (const QFileInfo& info : pattern.dir().entryInfoList({pattern.fileName()}, filters, QDir::Name)) {
        QFile file(info.absoluteFilePath());
        // Far beyond any hand-written configuration.
        if (info.size() <= SwayIpc::MaxPayload && file.open(QIODevice::ReadOnly))
            files.append({info.absoluteFilePath(), QString::fromUtf8(file.readAll())});
    }
    return files;
}

} // namespace

SwayIpcConnection::~SwayIpcConnection()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray SwayIpcConnection::socketPath()
{
    return qgetenv("SWAYSOCK");
}

bool SwayIpcConnection::open(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.size() >= qsizetype(sizeof address.sun_path)) {
        breakWith(
            QStringLiteral("No usable sway IPC socket path: \"%1\".").arg(QString::fromLocal8Bit(path)));
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), path.size());
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        breakWith(QStringLiteral("Cannot connect to sway's IPC socket \"%1\": %2.")
                      .arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    return true;
}

void SwayIpcConnection::breakWith(const QString& error)
{
    if (!m_broken)
        m_error = error;
    m_broken = true;
    m_outgoing.clear();
}

bool SwayIpcConnection::send(quint32 type, const QByteArray& payload)
{
    if (m_broken || m_fd < 0)
        return false;
    m_outgoing.append(SwayIpc::encode(type, payload));
    return flush();
}

bool SwayIpcConnection::flush()
{
    while (!m_broken && !m_outgoing.isEmpty()) {
        const ssize_t written = ::send(m_fd, m_outgoing.constData(), m_outgoing.size(), MSG_NOSIGNAL);
        if (written > 0) {
            m_outgoing.remove(0, written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            breakWith(QStringLiteral("Cannot write to sway's IPC socket: %1.")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    return !m_broken;
}

QList<SwayIpc::Message> SwayIpcConnection::readAvailable()
{
    QList<SwayIpc::Message> messages = std::exchange(m_held, {});
    char buffer[16384];
    while (!m_broken && m_fd >= 0) {
        const ssize_t count = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (count > 0) {
            m_decoder.feed(QByteArrayView(buffer, count), messages);
            if (m_decoder.isBroken())
                breakWith(QStringLiteral("sway's IPC sent a malformed message."));
        } else if (count == 0) {
            breakWith(QStringLiteral("sway closed its IPC connection."));
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else {
            breakWith(QStringLiteral("Cannot read from sway's IPC socket: %1.")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    return messages;
}

bool SwayIpcConnection::waitFor(short events, qint64 deadline)
{
    const qint64 remaining = deadline - QDeadlineTimer::current().deadline();
    if (remaining <= 0)
        return false;
    pollfd entry{m_fd, events, 0};
    const int ready = ::poll(&entry, 1, int(remaining));
    return ready > 0 || (ready < 0 && errno == EINTR);
}

std::optional<QByteArray> SwayIpcConnection::request(quint32 type, const QByteArray& payload, int timeoutMs)
{
    const qint64 deadline = QDeadlineTimer(timeoutMs).deadline();
    if (!send(type, payload))
        return std::nullopt;
    while (hasPendingWrite() && !m_broken) {
        if (!waitFor(POLLOUT, deadline)) {
            breakWith(
                QStringLiteral("sway did not take a request over its IPC within %1 ms.").arg(timeoutMs));
            return std::nullopt;
        }
        flush();
    }
    // sway answers requests in order, each reply with the type of its request.
    QList<SwayIpc::Message> held;
    std::optional<QByteArray> reply;
    while (!reply && !m_broken && waitFor(POLLIN, deadline)) {
        QList<SwayIpc::Message> messages = readAvailable();
        for (SwayIpc::Message& message : messages) {
            if (!reply && !message.isEvent() && message.type == type)
                reply = std::move(message.payload);
            else
                held.append(std::move(message));
        }
    }
    m_held = held + m_held;
    // A reply that comes later would be taken for the answer to the next request.
    if (!reply)
        breakWith(QStringLiteral("sway did not answer over its IPC within %1 ms.").arg(timeoutMs));
    return reply;
}

SwayIpc::CommandResult SwayIpcConnection::runCommand(const QByteArray& command, int timeoutMs)
{
    const std::optional<QByteArray> reply = request(SwayIpc::RunCommand, command, timeoutMs);
    return reply ? SwayIpc::parseCommandReply(*reply) : SwayIpc::CommandResult{};
}

bool SwayIpcConnection::subscribe(int timeoutMs)
{
    const std::optional<QByteArray> reply =
        request(SwayIpc::Subscribe, SwayIpc::subscribePayload(), timeoutMs);
    return reply && SwayIpc::parseCommandReply(*reply).success;
}

SwayIpcConnection::BindResult SwayIpcConnection::bindChord(int timeoutMs)
{
    // A runtime bindsym replaces a binding of the same chord without a word, so look first.
    const std::optional<QByteArray> version = request(SwayIpc::GetVersion, {}, timeoutMs);
    const std::optional<QByteArray> config =
        version ? request(SwayIpc::GetConfig, {}, timeoutMs) : std::nullopt;
    if (!config)
        return {};
    const SwayIpc::ConfigFile loaded{SwayIpc::parseConfigPath(*version), SwayIpc::parseConfigReply(*config)};
    if (const std::optional<SwayIpc::ConfigLine> conflict =
            SwayIpc::conflictingBinding(loaded, includedFiles))
        return {BindStatus::Conflict, conflict->text, conflict->path};
    const SwayIpc::CommandResult result = runCommand(SwayIpc::bindChordCommand(), timeoutMs);
    return {result.success ? BindStatus::Bound : BindStatus::Failed, result.error, {}};
}

SwayIpc::CommandResult SwayIpcConnection::unbindChord(int timeoutMs)
{
    return runCommand(SwayIpc::unbindChordCommand(), timeoutMs);
}
