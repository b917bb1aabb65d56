#include "app/LoginItemService.h"
#include "support/FakeLoginItemService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Status = LoginItemService::Status;
Q_DECLARE_METATYPE(LoginItemService::Status)

namespace {

const QString binary = u"/usr/bin/clipwell"_s;

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLoginItemService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A null entry: none; "/": a folder where the entry belongs.
    void status_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<Status>("status");
        QTest::newRow("no entry") << QByteArray() << Status::notRegistered;
        QTest::newRow("unreadable") << QByteArray("/") << Status::notFound;
        QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nExec=clipwell\n") << Status::enabled;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\n") << Status::notRegistered;
        QTest::newRow("hidden false") << QByteArray("[Desktop Entry]\nHidden=false\n") << Status::enabled;
        QTest::newRow("off for GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << Status::notRegistered;
        QTest::newRow("on for GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n") << Status::enabled;
        QTest::newRow("spaces around =")
            << QByteArray("[Desktop Entry]\nHidden = true\n") << Status::notRegistered;
        QTest::newRow("hidden only in an action")
            << QByteArray("[Desktop Entry]\nExec=clipwell\n\n[Desktop Action x]\nHidden=true\n")
            << Status::enabled;
        QTest::newRow("commented out") << QByteArray("[Desktop Entry]\n# Hidden=true\n") << Status::enabled;
    }

    void status()
    {
        QFETCH(QByteArray, entry);
        QFETCH(Status, status);
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        if (entry == "/")
            QVERIFY(QDir().mkpath(service.entryPath()));
        else if (!entry.isNull())
            writeFile(service.entryPath(), entry);
        QCOMPARE(service.status(), status);
    }

    // Quote, dollar and backtick are escaped inside the quotes; that backslash is then doubled as
    // every backslash of a string value.
    void registerWritesEntry_data()
    {
        QTest::addColumn<QString>("binaryPath");
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<bool>("overHiddenEntry");
        QTest::newRow("plain") << binary << QByteArray("Exec=\"/usr/bin/clipwell\"") << false;
        QTest::newRow("over a hidden entry") << binary << QByteArray("Exec=\"/usr/bin/clipwell\"") << true;
        QTest::newRow("space") << u"/opt/My Apps/clipwell"_s << QByteArray("Exec=\"/opt/My Apps/clipwell\"")
                               << false;
        QTest::newRow("quote, dollar, backtick")
            << u"/tmp/a\"b$c`d"_s << QByteArray("Exec=\"/tmp/a\\\\\"b\\\\$c\\\\`d\"") << false;
        QTest::newRow("backslash") << u"/tmp/a\\b"_s << QByteArray("Exec=\"/tmp/a\\\\\\\\b\"") << false;
        QTest::newRow("percent") << u"/tmp/100%/clipwell"_s << QByteArray("Exec=\"/tmp/100%%/clipwell\"")
                                 << false;
        QTest::newRow("non-ASCII") << u"/home/李/clipwell"_s << QByteArray("Exec=\"/home/李/clipwell\"")
                                   << false;
    }

    void registerWritesEntry()
    {
        QFETCH(QString, binaryPath);
        QFETCH(QByteArray, exec);
        QFETCH(bool, overHiddenEntry);
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binaryPath);
        if (overHiddenEntry)
            writeFile(service.entryPath(), "[Desktop Entry]\nExec=/old/clipwell\nHidden=true\n");
        const std::optional<AppError> failure = service.registerItem();
        QVERIFY2(!failure, qPrintable(failure ? failure->localizedDescription() : QString()));
        QCOMPARE(service.entryPath(), config.filePath(u"autostart/clipwell.desktop"_s));
        const QByteArray entry = readFile(service.entryPath());
        QVERIFY(entry.startsWith("[Desktop Entry]\n") && entry.contains("\nType=Application\n"));
        QVERIFY2(entry.contains('\n' + exec + '\n'), entry.constData());
        QCOMPARE(service.status(), Status::enabled);

        QVERIFY(!service.unregisterItem());
        QVERIFY(!QFileInfo::exists(service.entryPath()));
        QVERIFY(!service.unregisterItem());
    }

    // CI runs as root, so modes do not stop writes: a file where a folder must be does.
    void failuresCarryTheFileSystemMessage_data()
    {
        QTest::addColumn<QString>("blockedPath");
        QTest::addColumn<bool>("blockWithFolder");
        QTest::addColumn<bool>("registering");
        QTest::newRow("register: file as the autostart folder") << u"autostart"_s << false << true;
        QTest::newRow("register: file as the config folder") << u""_s << false << true;
        QTest::newRow("register: folder as the entry") << u"autostart/clipwell.desktop/x"_s << true << true;
        QTest::newRow("unregister: folder as the entry")
            << u"autostart/clipwell.desktop/x"_s << true << false;
    }

    void failuresCarryTheFileSystemMessage()
    {
        QFETCH(QString, blockedPath);
        QFETCH(bool, blockWithFolder);
        QFETCH(bool, registering);
        QTemporaryDir root;
        const QString config = root.filePath(u"config"_s);
        const QString blocked = QDir(config).filePath(blockedPath);
        if (blockWithFolder)
            QVERIFY(QDir().mkpath(blocked));
        else
            writeFile(QDir::cleanPath(blocked), "not a folder");
        XdgAutostartLoginItemService service(config, binary);
        const std::optional<AppError> failure =
            registering ? service.registerItem() : service.unregisterItem();
        QVERIFY(failure && !failure->localizedDescription().trimmed().isEmpty());
        QVERIFY(service.status() != Status::enabled);
    }

    void openSettingsOpensTheAutostartFolder()
    {
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        QList<QUrl> opened;
        service.openUrl = [&opened](const QUrl& url) {
            opened.append(url);
            return true;
        };
        service.openSystemSettingsLoginItems();
        QVERIFY(QFileInfo(service.autostartDirectory()).isDir());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(service.autostartDirectory())});
    }

    void initialSwitch()
    {
        FakeLoginItemService service;
        for (const Status status : {Status::notRegistered, Status::requiresApproval, Status::notFound}) {
            service.currentStatus = status;
            QVERIFY(!LaunchAtLoginSwitch::initial(service).isOn);
        }
        service.currentStatus = Status::enabled;
        QVERIFY(LaunchAtLoginSwitch::initial(service).isOn);
    }

    // Every row starts with an earlier message under the switch; failure: of whichever call is made.
    void settingTheSwitch_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("newValue");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<std::optional<Status>>("after");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("isOn");
        QTest::addColumn<QString>("message");

        const std::optional<Status> same;
        const QString none;
        const QString earlier = u"earlier"_s;
        const auto enabled = std::optional(Status::enabled);
        const auto unregistered = std::optional(Status::notRegistered);
        QTest::newRow("not registered, on")
            << Status::notRegistered << true << none << enabled << u"register"_s << true << QString();
        QTest::newRow("not registered, off")
            << Status::notRegistered << false << none << same << none << false << earlier;
        QTest::newRow("enabled, off")
            << Status::enabled << false << none << unregistered << u"unregister"_s << false << QString();
        QTest::newRow("requires approval, on counts as registered")
            << Status::requiresApproval << true << none << same << none << true << earlier;
        QTest::newRow("requires approval, off") << Status::requiresApproval << false << none << unregistered
                                                << u"unregister"_s << false << QString();
        QTest::newRow("not found, on")
            << Status::notFound << true << none << enabled << u"register"_s << true << QString();
        QTest::newRow("register fails") << Status::notRegistered << true << u"disk full"_s << same
                                        << u"register"_s << false << u"disk full"_s;
        QTest::newRow("register fails yet reads enabled")
            << Status::notRegistered << true << u"disk full"_s << enabled << u"register"_s << true
            << u"disk full"_s;
        QTest::newRow("unregister fails, still enabled")
            << Status::enabled << false << u"busy"_s << same << u"unregister"_s << true << u"busy"_s;
        QTest::newRow("unregister fails, awaiting approval") << Status::requiresApproval << false << u"busy"_s
                                                             << same << u"unregister"_s << false << u"busy"_s;
        QTest::newRow("register awaits approval")
            << Status::notRegistered << true << none << std::optional(Status::requiresApproval)
            << u"register openSettings"_s << true << u"key"_s;
    }

    void settingTheSwitch()
    {
        QFETCH(Status, status);
        QFETCH(bool, newValue);
        QFETCH(QString, failure);
        QFETCH(std::optional<Status>, after);
        QFETCH(QString, calls);
        QFETCH(bool, isOn);
        QFETCH(QString, message);
        FakeLoginItemService service;
        service.currentStatus = status;
        service.registerFailure = service.unregisterFailure = failure;
        service.statusAfterCall = after;
        LaunchAtLoginSwitch loginSwitch{!newValue, AppMessage{std::nullopt, AppError::fixed(u"earlier"_s)}};
        loginSwitch.set(newValue, service);
        QCOMPARE(service.calls.join(u' '), calls);
        QCOMPARE(loginSwitch.isOn, isOn);
        if (message == u"key")
            QCOMPARE(loginSwitch.message->key, std::optional(L10n::Key::loginApproval));
        else
            QCOMPARE(loginSwitch.message ? loginSwitch.message->text() : QString(), message);
    }
};

QTEST_GUILESS_MAIN(TestLoginItemService)
#include "tst_loginitemservice.moc"
