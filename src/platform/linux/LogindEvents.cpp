#include "platform/linux/LogindEvents.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.login1"_s;
const QString managerPath = u"/org/freedesktop/login1"_s;
const QString managerInterface = u"org.freedesktop.login1.Manager"_s;

} // namespace

LogindEvents::LogindEvents(std::function<void()> onSleep, std::function<void()> onLock, QObject* parent)
    : QObject(parent), m_onSleep(std::move(onSleep)), m_onLock(std::move(onLock))
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    bus.connect(service, managerPath, managerInterface, u"PrepareForSleep"_s, this,
                SLOT(prepareForSleep(bool)));
    findSession(true);
}

// Our own process first: XDG_SESSION_ID may be inherited from a session that is not ours.
void LogindEvents::findSession(bool byProcess)
{
    const QByteArray sessionId = qgetenv("XDG_SESSION_ID");
    if (!byProcess && sessionId.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, managerPath, managerInterface,
                                                       byProcess ? u"GetSessionByPID"_s : u"GetSession"_s);
    call << (byProcess ? QVariant::fromValue(static_cast<uint>(QCoreApplication::applicationPid()))
                       : QVariant(QString::fromLocal8Bit(sessionId)));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, byProcess] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isValid())
            followSession(reply.value().path());
        else if (byProcess)
            findSession(false);
    });
}

void LogindEvents::followSession(const QString& path)
{
    QDBusConnection::systemBus().connect(service, path, u"org.freedesktop.login1.Session"_s, u"Lock"_s, this,
                                         SLOT(lock()));
}

void LogindEvents::prepareForSleep(bool starting)
{
    // The same signal with false announces the wake-up.
    if (starting && m_onSleep)
        m_onSleep();
}

void LogindEvents::lock()
{
    if (m_onLock)
        m_onLock();
}
