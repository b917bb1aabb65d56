#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QLocalSocket;
class QLockFile;

// One Clipwell per user. The running instance holds a lock file and listens on a local socket beside
// it; a later launch finds the lock taken, asks the running one to come forward and exits. No D-Bus
// session is needed.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        // This process is the instance; presentRequested() reports later launches.
        primary,
        // Another instance runs and was asked to present its history window.
        secondary,
        // Neither: errorString() says why.
        failed,
    };

    // Connections served at once; more are closed as they come.
    static constexpr int maxConnections = 8;
    // The longest activation token passed on (compositors' tokens are a few dozen characters); a
    // longer one is left out and the window comes forward without it.
    static constexpr qsizetype maxActivationTokenBytes = 255;
    // The longest line a later launch sends ("present", a space, the token, the newline); a
    // connection that sends more is closed.
    static constexpr qint64 maxRequestBytes = 9 + maxActivationTokenBytes;

    // directory: where the lock and the socket live; empty means defaultDirectory().
    explicit SingleInstance(QString directory = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/clipwell, or else Clipwell/instance in the user's cache folder: unlike the
    // shared temporary folder, no other user can make it first.
    static QString defaultDirectory();

    // present: whether a running instance is asked to show its window; a start in the background
    // only finds out that one runs. activationToken: the launcher's token (XDG_ACTIVATION_TOKEN) that
    // lets the running instance's window take the focus on Wayland; passed on with the request.
    Claim claim(bool present = true, const QByteArray& activationToken = {});
    // A launch from the compositor's binding of the quick paste chord: the running instance is told
    // the chord was pressed (quickPasteRequested()); where none runs this one becomes it, as a start
    // in the background.
    Claim claimForQuickPaste();
    // Tells the running instance the chord was pressed, before any application object exists, so that
    // a launch from the compositor's binding costs little more than starting the process. False when
    // no instance listens (claimForQuickPaste() then decides).
    static bool sendQuickPaste(const QString& directory = QString());
    QString errorString() const { return m_error; }
    QString socketPath() const;
    // How long a connection may stay without sending its request.
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }

Q_SIGNALS:
    // activationToken: the later launch's, or empty.
    void presentRequested(const QByteArray& activationToken);
    void quickPasteRequested();

private:
    bool prepareDirectory();
    Claim listen();
    // What a later launch asks of the running instance: to present its window, to quick paste, or nothing.
    Claim claimAs(bool present, bool quickPaste, const QByteArray& activationToken);
    Claim contactRunningInstance(const QByteArray& request);
    void answer(QLocalSocket* connection);

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QString m_error;
    std::chrono::milliseconds m_idleTimeout{3000};
    int m_connections = 0;
};
