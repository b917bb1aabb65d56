#include "platform/wayland/KGlobalAccelChordBinding.h"

#include "l10n/Localization.h"
#include "models/QuickPasteLog.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QKeyCombination>
#include <variant>

namespace {

const QString service = QStringLiteral("org.kde.kglobalaccel");
const QString accelPath = QStringLiteral("/kglobalaccel");
const QString accelInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString componentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
const QString componentName = QStringLiteral("clipwell");
const QString actionName = QStringLiteral("quick-paste");
// setShortcut's flags. Without NoAutoloading the service answers with the shortcut it has stored for
// the action, the user's choice, rather than taking the one sent.
constexpr uint isDefaultFlag = 1;
constexpr uint setPresentFlag = 2;
const int defaultShortcut = QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_V).toCombined();

// Each request on the binding's own thread; the service answers within a few ms.
constexpr int requestTimeoutMs = 1000;
// The removal at stop waits less: Clipwell may be quitting.
constexpr int removeTimeoutMs = 200;

} // namespace

namespace {

using Outcome = ChordBinding::Outcome;

// The outcome for the keys the service gives the action: none means another action holds the chord,
// or the user took the shortcut away.
Outcome outcomeFor(const QList<int>& keys)
{
    if (keys.isEmpty() || keys.first() == 0)
        return {Outcome::Status::conflict, {}, {}, 0};
    return {Outcome::Status::bound, {}, {}, keys.first() == defaultShortcut ? 0 : keys.first()};
}

// Receives the service's signals on the binding's thread.
class Listener final : public QObject {
    Q_OBJECT
public:
    explicit Listener(ChordBinding::Link& link) : m_link(link) {}

public Q_SLOTS:
    void pressed(const QString& component, const QString& action, qlonglong)
    {
        if (component == componentName && action == actionName)
            m_link.pressed();
    }
    // yourShortcutsChanged(as actionId, a(ai) keys): a list of key sequences, each its keys.
    void shortcutsChanged(const QDBusMessage& message)
    {
        const QStringList actionId = message.arguments().value(0).toStringList();
        if (actionId.value(0) != componentName || actionId.value(1) != actionName)
            return;
        QList<int> first;
        const QDBusArgument sequences = qvariant_cast<QDBusArgument>(message.arguments().value(1));
        if (sequences.currentType() == QDBusArgument::ArrayType) {
            // Read to the end: each begin must meet its end, or the reader leaks.
            sequences.beginArray();
            while (!sequences.atEnd()) {
                QList<int> keys;
                sequences.beginStructure();
                sequences >> keys;
                sequences.endStructure();
                if (first.isEmpty())
                    first = keys;
            }
            sequences.endArray();
        }
        m_link.report(outcomeFor(first));
    }

private:
    ChordBinding::Link& m_link;
};

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& method,
                  const QVariantList& arguments, int timeoutMs = requestTimeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, accelInterface, method);
    message.setArguments(arguments);
    // KWin serves the service itself; a standalone daemon the bus would start sees no Wayland keys.
    message.setAutoStartService(false);
    return bus.call(message, QDBus::Block, timeoutMs);
}

QString errorOf(const QDBusMessage& reply)
{
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

// Registers the action and returns the path of Clipwell's component, or the outcome that ends here.
std::variant<QString, Outcome> enrol(const QDBusConnection& bus, const QStringList& actionId,
                                     QList<int>* keys)
{
    const QVariant id = QVariant::fromValue(actionId);
    const QVariant ours = QVariant::fromValue(QList<int>{defaultShortcut});
    for (const auto& [method, arguments] :
         {std::pair{QStringLiteral("doRegister"), QVariantList{id}},
          std::pair{QStringLiteral("setShortcut"),
                    QVariantList{id, ours, QVariant::fromValue(isDefaultFlag)}},
          std::pair{QStringLiteral("setShortcut"),
                    QVariantList{id, ours, QVariant::fromValue(setPresentFlag)}},
          std::pair{QStringLiteral("getComponent"), QVariantList{componentName}}}) {
        const QDBusMessage reply = call(bus, accelPath, method, arguments);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            const bool absent =
                reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown");
            return Outcome{
                absent ? Outcome::Status::unavailable : Outcome::Status::failed, errorOf(reply), {}, 0};
        }
        if (method == QLatin1String("getComponent"))
            return qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
        if (arguments.size() == 3)
            *keys = qdbus_cast<QList<int>>(reply.arguments().value(0));
    }
    return {};
}

void follow(ChordBinding::Link& link, const QStringList& actionId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        link.report({Outcome::Status::unavailable, bus.lastError().message(), {}, 0});
        return;
    }
    Listener listener(link);
    QEventLoop loop;
    // The service going away (KWin quitting) takes the shortcut with it.
    QDBusServiceWatcher watcher(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, [&] {
        link.report({Outcome::Status::unavailable, {}, {}, 0});
        loop.quit();
    });
    QList<int> keys;
    const std::variant<QString, Outcome> enrolled = enrol(bus, actionId, &keys);
    if (const auto* outcome = std::get_if<Outcome>(&enrolled)) {
        qCWarning(lcQuickPaste).noquote() << "Cannot register the quick paste shortcut:" << outcome->detail;
        link.report(*outcome);
        return;
    }
    const QString component = std::get<QString>(enrolled);
    bus.connect(service, component, componentInterface, QStringLiteral("globalShortcutPressed"), &listener,
                SLOT(pressed(QString, QString, qlonglong)));
    // KWin 5.27 reports a change made in System Settings with this signal only.
    bus.connect(service, accelPath, accelInterface, QStringLiteral("yourShortcutsChanged"), &listener,
                SLOT(shortcutsChanged(QDBusMessage)));
    link.report(outcomeFor(keys));
    if (link.setWake([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); }))
        loop.exec();
    link.setWake({});
    // Inactive, the shortcut no longer takes its keys from the application in front; unregistering
    // would as well forget a shortcut the user chose.
    call(bus, accelPath, QStringLiteral("setInactive"), {QVariant::fromValue(actionId)}, removeTimeoutMs);
}

} // namespace

std::function<void(ChordBinding::Link&)> KGlobalAccelChordBinding::body()
{
    qDBusRegisterMetaType<QList<int>>();
    // Named in the interface language, which is the caller's to read.
    const QStringList actionId{componentName, actionName, QStringLiteral("Clipwell"),
                               L10n::text(L10n::Key::quickPaste)};
    return [actionId](Link& link) { follow(link, actionId); };
}

#include "KGlobalAccelChordBinding.moc"
