#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
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

    // directory: where the lock and the socket live; empty means defaultDirectory().
    explicit SingleInstance(QString directory = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/clipwell, or a private folder in the temporary folder named by the user id.
    static QString defaultDirectory();

    Claim claim();
    QString errorString() const { return m_error; }
    QString socketPath() const;

Q_SIGNALS:
    void presentRequested();

private:
    bool prepareDirectory();
    Claim listen();
    Claim contactRunningInstance();
    void answer(QLocalSocket* connection);

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QString m_error;
};
