#pragma once

#include <QObject>
#include <functional>

// The system's sleep and our session's lock, as logind announces them on the system bus. Without a
// system bus or logind nothing is ever reported, and nothing is said about it.
class LogindEvents final : public QObject {
    Q_OBJECT

public:
    // Never waits on the bus: our session is looked up with asynchronous calls.
    LogindEvents(std::function<void()> onSleep, std::function<void()> onLock, QObject* parent = nullptr);

private Q_SLOTS:
    void prepareForSleep(bool starting);
    void lock();

private:
    void findSession(bool byProcess);
    void followSession(const QString& path);

    std::function<void()> m_onSleep;
    std::function<void()> m_onLock;
};
