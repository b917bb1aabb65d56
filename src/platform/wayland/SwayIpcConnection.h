#pragma once

#include "platform/wayland/SwayIpc.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A client connection to sway's IPC socket: a non-blocking descriptor for the owner's own poll
// loop, with no thread or event loop of its own. Its few blocking calls wait briefly for one reply
// and are meant for setting up, not for a loop that must stay responsive.
class SwayIpcConnection {
public:
    SwayIpcConnection() = default;
    ~SwayIpcConnection();
    SwayIpcConnection(const SwayIpcConnection&) = delete;
    SwayIpcConnection& operator=(const SwayIpcConnection&) = delete;

    // The socket of the running sway, from SWAYSOCK; empty outside sway.
    static QByteArray socketPath();

    bool open(const QByteArray& path);
    // -1 when not open. Poll it for reading, and for writing while hasPendingWrite().
    int fd() const { return m_fd; }
    // Once broken (sway went away, or the stream is out of step), the connection stays so.
    bool isBroken() const { return m_broken; }
    // Why it could not open or broke, for the log.
    QString error() const { return m_error; }

    // Queues a message and writes what the socket takes now.
    bool send(quint32 type, const QByteArray& payload);
    bool hasPendingWrite() const { return !m_outgoing.isEmpty(); }
    bool flush();
    // Every message that has arrived, replies and events in order, without waiting.
    QList<SwayIpc::Message> readAvailable();

    // Sends a request and waits up to timeoutMs for its reply; events that arrive meanwhile are
    // kept for the next readAvailable(). sway answers in order, so no other request may be waiting
    // for its reply. No reply in time breaks the connection: a late one would answer the next.
    std::optional<QByteArray> request(quint32 type, const QByteArray& payload, int timeoutMs = 500);
    SwayIpc::CommandResult runCommand(const QByteArray& command, int timeoutMs = 500);
    bool subscribe(int timeoutMs = 500);

    enum class BindStatus { Bound, Conflict, Failed };
    struct BindResult {
        BindStatus status = BindStatus::Failed;
        // The user's configuration line that holds the chord, or sway's reason for a failure.
        QString detail;
        // The configuration file that holds that line.
        QString path;
    };
    // Adds the chord's runtime binding unless the loaded configuration already binds the chord.
    BindResult bindChord(int timeoutMs = 500);
    // Only after bindChord bound it: unbindsym would as well remove a binding of the user's.
    SwayIpc::CommandResult unbindChord(int timeoutMs = 500);

private:
    void breakWith(const QString& error);
    // Waits up to the deadline for the descriptor to be ready for these poll events.
    bool waitFor(short events, qint64 deadline);

    int m_fd = -1;
    bool m_broken = false;
    QString m_error;
    QByteArray m_outgoing;
    SwayIpc::Decoder m_decoder;
    QList<SwayIpc::Message> m_held;
};
