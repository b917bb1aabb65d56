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
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <thread>
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
// How long stop() waits for the thread before leaving it to finish alone.
constexpr unsigned long stopWaitMs = 20;

} // namespace

struct KGlobalAccelChordBinding::Shared {
    QMutex mutex;
    QWaitCondition changed;
    std::optional<Outcome> first;
    bool stopped = false;
    bool finished = false;
    // The thread's loop while it runs, for stop() to end it.
    QEventLoop* loop = nullptr;
    std::function<void()> onPressed;
    std::function<void(const Outcome&)> onOutcome;

    // Callbacks run under the lock, so none is under way once stop() has taken it.
    void report(const Outcome& outcome)
    {
        QMutexLocker locker(&mutex);
        if (!first) {
            first = outcome;
            changed.wakeAll();
        }
        if (!stopped && onOutcome)
            onOutcome(outcome);
    }
    void pressed()
    {
        QMutexLocker locker(&mutex);
        if (!stopped && onPressed)
            onPressed();
    }
};

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
    explicit Listener(std::shared_ptr<KGlobalAccelChordBinding::Shared> shared) : m_shared(std::move(shared))
    {
    }

public Q_SLOTS:
    void pressed(const QString& component, const QString& action, qlonglong)
    {
        if (component == componentName && action == actionName)
            m_shared->pressed();
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
        m_shared->report(outcomeFor(first));
    }

private:
    std::shared_ptr<KGlobalAccelChordBinding::Shared> m_shared;
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

void follow(const std::shared_ptr<KGlobalAccelChordBinding::Shared>& shared, const QStringList& actionId)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        shared->report({Outcome::Status::unavailable, bus.lastError().message(), {}, 0});
        return;
    }
    Listener listener(shared);
    QEventLoop loop;
    // The service going away (KWin quitting) takes the shortcut with it.
    QDBusServiceWatcher watcher(service, bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, [&] {
        shared->report({Outcome::Status::unavailable, {}, {}, 0});
        loop.quit();
    });
    QList<int> keys;
    const std::variant<QString, Outcome> enrolled = enrol(bus, actionId, &keys);
    if (const auto* outcome = std::get_if<Outcome>(&enrolled)) {
        qCWarning(lcQuickPaste).noquote() << "Cannot register the quick paste shortcut:" << outcome->detail;
        shared->report(*outcome);
        return;
    }
    const QString component = std::get<QString>(enrolled);
    bus.connect(service, component, componentInterface, QStringLiteral("globalShortcutPressed"), &listener,
                SLOT(pressed(QString, QString, qlonglong)));
    // KWin 5.27 reports a change made in System Settings with this signal only.
    bus.connect(service, accelPath, accelInterface, QStringLiteral("yourShortcutsChanged"), &listener,
                SLOT(shortcutsChanged(QDBusMessage)));
    shared->report(outcomeFor(keys));
    bool running = false;
    {
        QMutexLocker locker(&shared->mutex);
        running = !shared->stopped;
        if (running)
            shared->loop = &loop;
    }
    if (running)
        loop.exec();
    {
        QMutexLocker locker(&shared->mutex);
        shared->loop = nullptr;
    }
    // Inactive, the shortcut no longer takes its keys from the application in front; unregistering
    // would as well forget a shortcut the user chose.
    call(bus, accelPath, QStringLiteral("setInactive"), {QVariant::fromValue(actionId)}, removeTimeoutMs);
}

} // namespace

KGlobalAccelChordBinding::KGlobalAccelChordBinding() = default;

KGlobalAccelChordBinding::~KGlobalAccelChordBinding()
{
    stop();
}

void KGlobalAccelChordBinding::start()
{
    stop();
    qDBusRegisterMetaType<QList<int>>();
    m_shared = std::make_shared<Shared>();
    m_shared->onPressed = onPressed;
    m_shared->onOutcome = onOutcome;
    const QStringList actionId{componentName, actionName, QStringLiteral("Clipwell"),
                               L10n::text(L10n::Key::quickPaste)};
    std::thread([shared = m_shared, actionId] {
        follow(shared, actionId);
        QMutexLocker locker(&shared->mutex);
        shared->finished = true;
        shared->changed.wakeAll();
    }).detach();
}

std::optional<ChordBinding::Outcome> KGlobalAccelChordBinding::firstOutcome(int timeoutMs)
{
    if (!m_shared)
        return std::nullopt;
    QMutexLocker locker(&m_shared->mutex);
    if (!m_shared->first && !m_shared->finished)
        m_shared->changed.wait(&m_shared->mutex, QDeadlineTimer(timeoutMs));
    return m_shared->first;
}

void KGlobalAccelChordBinding::stop()
{
    if (!m_shared)
        return;
    m_stopping = std::exchange(m_shared, {});
    const std::shared_ptr<Shared> shared = m_stopping;
    QMutexLocker locker(&shared->mutex);
    shared->stopped = true;
    if (shared->loop)
        QMetaObject::invokeMethod(shared->loop, &QEventLoop::quit, Qt::QueuedConnection);
    if (!shared->finished)
        shared->changed.wait(&shared->mutex, QDeadlineTimer(stopWaitMs));
}

void KGlobalAccelChordBinding::waitForRemoval(int timeoutMs)
{
    if (!m_stopping)
        return;
    QMutexLocker locker(&m_stopping->mutex);
    if (!m_stopping->finished)
        m_stopping->changed.wait(&m_stopping->mutex, QDeadlineTimer(timeoutMs));
}

#include "KGlobalAccelChordBinding.moc"
