#include "l10n/Localization.h"
#include "platform/wayland/WaylandEventTap.h"
#include "support/TestColumns.h"
#include "support/wayland/FakeQuickPasteSeat.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QKeyCombination>
#include <QMutex>
#include <QTest>

using Advice = QuickPasteSetup::Advice;

namespace {

const QStringList ours{QStringLiteral("clipwell"), QStringLiteral("quick-paste"), QStringLiteral("Clipwell"),
                       QStringLiteral("Quick Paste")};
const int ctrlAltP = QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_P).toCombined();

// A key sequence as the service sends it: four keys, unused ones 0.
struct KeySequence {
    QList<int> keys;
};

QDBusArgument& operator<<(QDBusArgument& argument, const KeySequence& sequence)
{
    argument.beginStructure();
    argument << sequence.keys;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, KeySequence& sequence)
{
    argument.beginStructure();
    argument >> sequence.keys;
    argument.endStructure();
    return argument;
}

} // namespace

// KDE's shortcut service as the daemon keeps an action's shortcut, on a connection of its own.
class FakeKGlobalAccel final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KGlobalAccel")

public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
    // The user's shortcut, which the service answers with unless told NoAutoloading.
    std::optional<QList<int>> stored;
    QStringList registered;
    QList<int> defaults;
    QStringList inactive;

    ~FakeKGlobalAccel() override { QDBusConnection::disconnectFromBus(bus.name()); }

    void serve()
    {
        QVERIFY(bus.registerObject(QStringLiteral("/kglobalaccel"), this, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.kde.kglobalaccel")));
    }
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& args)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(args);
        QVERIFY(bus.send(message));
    }
    void press(const QString& component, const QString& action)
    {
        emitSignal(QStringLiteral("/component/") + component,
                   QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("globalShortcutPressed"),
                   {component, action, qlonglong(0)});
    }
    void change(int key)
    {
        emitSignal(QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
                   QStringLiteral("yourShortcutsChanged"),
                   {QVariant::fromValue(ours), QVariant::fromValue(QList<KeySequence>{{{key, 0, 0, 0}}})});
    }

public Q_SLOTS:
    void doRegister(const QStringList& actionId) { registered = actionId; }
    QList<int> setShortcut(const QStringList&, const QList<int>& keys, uint flags)
    {
        if (flags & 1)
            defaults = keys;
        else if (!stored || (flags & 4))
            stored = keys;
        return flags & 1 ? keys : *stored;
    }
    QDBusObjectPath getComponent(const QString& name)
    {
        return QDBusObjectPath(QStringLiteral("/component/") + name);
    }
    void setInactive(const QStringList& actionId) { inactive = actionId; }
};

class TstKGlobalAccel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qDBusRegisterMetaType<QList<int>>();
        qDBusRegisterMetaType<KeySequence>();
        qDBusRegisterMetaType<QList<KeySequence>>();
        AppLocalization::shared().select(AppLanguage::english);
    }

    // Steps: P a press of our action, O of another action, C of another component, G the user gives
    // it Ctrl+Alt+P in System Settings, Z a Z typed with Ctrl and Alt held, f Alt let go, F both.
    // Records: the key (F: modifiers), + down or - up, ! with Super+Shift alone, ~ with others.
    void binding_data()
    {
        addColumns<bool, QVariant, QString, QString, QString, Advice>("service", "stored", "steps", "records",
                                                                      "chord", "advice");
        const auto row = [](const char* name, QVariant stored, const char* steps, const char* records,
                            const char* chord, Advice advice = Advice::none, bool service = true) {
            QTest::newRow(name) << service << stored << QString::fromLatin1(steps)
                                << QString::fromLatin1(records) << QString::fromLatin1(chord) << advice;
        };
        const QVariant none;
        row("our presses report Super+Shift+V, others' nothing", none, "OCPZ", "V+! V-! Z+~", "");
        row("the user's stored shortcut is the chord", QVariant::fromValue(QList<int>{ctrlAltP}), "PZfF",
            "V+! V-! Z+! F~ F", "Ctrl+Alt+P");
        row("a shortcut changed in System Settings follows", none, "GPZF", "V+! V-! Z+! F", "");
        row("no shortcut for the action", QVariant::fromValue(QList<int>{}), "", "", "",
            Advice::shortcutMissing);
        row("no service", none, "", "", "", Advice::shortcutFailed, false);
    }

    void binding()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, steps);
        QFETCH(Advice, advice);
        FakeKGlobalAccel accel;
        if (stored.isValid())
            accel.stored = stored.value<QList<int>>();
        if (QFETCH(bool, service); service)
            accel.serve();
        FakeQuickPasteSeat seat;
        WaylandEventTap tap(&seat, {}, QStringLiteral("KDE"));
        QMutex mutex;
        QStringList records;
        std::optional<bool> available;
        const auto handle = [&](TapEvent& event) {
            constexpr quint64 chordFlags = TapEvent::commandFlag | TapEvent::shiftFlag;
            const bool flags = event.type == TapEvent::flagsChanged;
            QMutexLocker locker(&mutex);
            records.append(QLatin1String(flags                             ? "F"
                                         : event.keyCode == TapEvent::keyV ? "V"
                                                                           : "Z") +
                           QLatin1String(flags                             ? ""
                                         : event.type == TapEvent::keyDown ? "+"
                                                                           : "-") +
                           QLatin1String(event.flags == chordFlags ? "!"
                                         : event.flags             ? "~"
                                                                   : ""));
            return true;
        };
        const auto read = [&] {
            QMutexLocker locker(&mutex);
            return std::pair{records.join(QLatin1Char(' ')), available};
        };
        const auto followAvailable = [&](bool yes) {
            QMutexLocker locker(&mutex);
            available = yes;
        };
        tap.install({handle, {}, {}, followAvailable});
        const bool bound = advice == Advice::none;
        QTRY_COMPARE(read().second, std::optional<bool>(bound));
        const QuickPasteSetup setup = tap.setup();
        QCOMPARE(setup.advice, advice);
        QTEST(setup.chord, "chord");
        if (!bound)
            return;
        QCOMPARE(accel.registered, ours);
        QCOMPARE(accel.defaults,
                 QList<int>{QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_V).toCombined()});
        const quint64 ctrlAlt = TapEvent::controlFlag | TapEvent::optionFlag;
        for (const QChar step : steps) {
            if (step == QLatin1Char('P') || step == QLatin1Char('O') || step == QLatin1Char('C')) {
                const qsizetype before = read().first.size();
                accel.press(step == QLatin1Char('C') ? QStringLiteral("other") : QStringLiteral("clipwell"),
                            step == QLatin1Char('O') ? QStringLiteral("other")
                                                     : QStringLiteral("quick-paste"));
                if (step == QLatin1Char('P'))
                    QTRY_VERIFY(read().first.size() > before);
            } else if (step == QLatin1Char('G')) {
                accel.change(ctrlAltP);
                QTRY_COMPARE(tap.setup().chord, QStringLiteral("Ctrl+Alt+P"));
            } else if (step == QLatin1Char('Z')) {
                seat.type(TapEvent::keyDown, TapEvent::keyZ, ctrlAlt);
            } else {
                seat.type(TapEvent::flagsChanged, 0, step == QLatin1Char('f') ? TapEvent::controlFlag : 0);
            }
        }
        // The service's signals arrive in order: once a later change shows, every press before it has.
        accel.change(QKeyCombination(Qt::MetaModifier, Qt::Key_F12).toCombined());
        QTRY_COMPARE(tap.setup().chord, QStringLiteral("Super+F12"));
        QTEST(read().first, "records");
        // Switched off, the shortcut leaves its keys to the application in front.
        tap.remove();
        QTRY_COMPARE(accel.inactive, ours);
    }
};

QTEST_GUILESS_MAIN(TstKGlobalAccel)
#include "tst_kglobalaccel.moc"
