#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <optional>
#include <thread>

// The compositor's toplevel windows, from every client, through wlr foreign-toplevel management or,
// where only KWin's is offered, KDE's window management, followed on a thread and a connection of
// their own: reads take a snapshot and never wait on the compositor. A compositor that offers neither,
// or goes away, has no toplevels.
class WaylandToplevels {
public:
    struct Toplevel {
        // Never 0, never reused, and above every process id (the protocol names no process).
        qint64 identifier = 0;
        QString appId;
        QString title;

        friend bool operator==(const Toplevel&, const Toplevel&) = default;
    };

    // Identifiers count up from here; pids stay below 2^22.
    static constexpr qint64 firstIdentifier = qint64(1) << 32;

    // waylandDisplay is a socket name in XDG_RUNTIME_DIR or an absolute path. onActivation runs on
    // the thread whenever the activated toplevel has changed; it must not destroy this object.
    WaylandToplevels(QByteArray waylandDisplay, std::function<void()> onActivation);
    ~WaylandToplevels();
    WaylandToplevels(const WaylandToplevels&) = delete;
    WaylandToplevels& operator=(const WaylandToplevels&) = delete;

    // The open toplevels, oldest first.
    QList<Toplevel> toplevels() const;
    // The one with the keyboard focus; with several seats, the one activated last.
    std::optional<Toplevel> activated() const;
    // The toplevel was seen and is gone: closed, or its compositor went away.
    bool isClosed(qint64 identifier) const;

private:
    struct Handle;
    struct Connection;
    friend struct Connection;

    void run();
    // On the thread: a handle's state at its done, and its end.
    void apply(const Handle& handle);
    void close(const Handle& handle);
    void forgetAll();
    void reportActivation();

    const QByteArray m_waylandDisplay;
    const std::function<void()> m_onActivation;
    int m_wakeFd = -1;

    mutable QMutex m_mutex;
    // Guarded by m_mutex.
    QList<Toplevel> m_open;
    // Activated toplevels, the one activated last at the end.
    QList<qint64> m_activationOrder;
    qint64 m_nextIdentifier = firstIdentifier;

    // The thread's own.
    qint64 m_reportedActivation = 0;
    std::thread m_thread;
};
