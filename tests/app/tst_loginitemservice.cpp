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

QByteArray execLine(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec="))
            return line;
    }
    return {};
}

QString describe(const std::optional<AppMessage>& message)
{
    if (!message)
        return u"<none>"_s;
    if (message->key)
        return u"key:"_s + L10n::keyName(*message->key);
    return message->text();
}

} // namespace

class TestLoginItemService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void status_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<Status>("status");

        QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=clipwell\n")
                                     << Status::enabled;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=clipwell\nHidden=true\n")
                                << Status::notRegistered;
        QTest::newRow("hidden false") << QByteArray("[Desktop Entry]\nHidden=false\n") << Status::enabled;
        QTest::newRow("switched off for GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << Status::notRegistered;
        QTest::newRow("switched on for GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n") << Status::enabled;
        QTest::newRow("spaces around the separator")
            << QByteArray("[Desktop Entry]\nHidden = true\n") << Status::notRegistered;
        QTest::newRow("hidden only in an action group")
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
        writeFile(service.entryPath(), entry);
        QCOMPARE(service.status(), status);
    }

    void statusWithoutOrWithUnreadableEntry()
    {
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        QCOMPARE(service.status(), Status::notRegistered);
        QVERIFY(QDir().mkpath(service.entryPath()));
        QCOMPARE(service.status(), Status::notFound);
    }

    void registerWritesEntry_data()
    {
        QTest::addColumn<QString>("binaryPath");
        QTest::addColumn<QByteArray>("exec");

        QTest::newRow("plain") << u"/usr/bin/clipwell"_s << QByteArray("Exec=\"/usr/bin/clipwell\"");
        QTest::newRow("space") << u"/opt/My Apps/clipwell"_s << QByteArray("Exec=\"/opt/My Apps/clipwell\"");
        // Quote, dollar and backtick are escaped inside the quotes; that backslash is then doubled
        // as every backslash of a string value.
        QTest::newRow("quote, dollar, backtick")
            << u"/tmp/a\"b$c`d"_s << QByteArray("Exec=\"/tmp/a\\\\\"b\\\\$c\\\\`d\"");
        QTest::newRow("backslash") << u"/tmp/a\\b"_s << QByteArray("Exec=\"/tmp/a\\\\\\\\b\"");
        QTest::newRow("percent") << u"/tmp/100%/clipwell"_s << QByteArray("Exec=\"/tmp/100%%/clipwell\"");
        QTest::newRow("non-ASCII") << u"/home/李/clipwell"_s << QByteArray("Exec=\"/home/李/clipwell\"");
    }

    void registerWritesEntry()
    {
        QFETCH(QString, binaryPath);
        QFETCH(QByteArray, exec);
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binaryPath);
        QVERIFY(!QFileInfo::exists(service.autostartDirectory()));

        const std::optional<AppError> failure = service.registerItem();
        QVERIFY2(!failure, qPrintable(failure ? failure->localizedDescription() : QString()));
        QCOMPARE(service.entryPath(), config.filePath(u"autostart/clipwell.desktop"_s));
        const QByteArray entry = readFile(service.entryPath());
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nType=Application\n"));
        QCOMPARE(execLine(entry), exec);
        QCOMPARE(service.status(), Status::enabled);
    }

    void registerReplacesHiddenEntry()
    {
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        writeFile(service.entryPath(), "[Desktop Entry]\nExec=/old/clipwell\nHidden=true\n");
        QCOMPARE(service.status(), Status::notRegistered);
        QVERIFY(!service.registerItem());
        QCOMPARE(service.status(), Status::enabled);
        QCOMPARE(execLine(readFile(service.entryPath())), QByteArray("Exec=\"/usr/bin/clipwell\""));
    }

    void unregisterRemovesEntry()
    {
        QTemporaryDir config;
        XdgAutostartLoginItemService service(config.path(), binary);
        QVERIFY(!service.unregisterItem());
        QVERIFY(!service.registerItem());
        QVERIFY(!service.unregisterItem());
        QVERIFY(!QFileInfo::exists(service.entryPath()));
        QCOMPARE(service.status(), Status::notRegistered);
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
        const QString blocked = blockedPath.isEmpty() ? config : QDir(config).filePath(blockedPath);
        if (blockWithFolder)
            QVERIFY(QDir().mkpath(blocked));
        else
            writeFile(blocked, "not a folder");

        XdgAutostartLoginItemService service(config, binary);
        const std::optional<AppError> failure =
            registering ? service.registerItem() : service.unregisterItem();
        QVERIFY(failure);
        QVERIFY(!failure->localizedDescription().trimmed().isEmpty());
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

    void initialSwitch_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("isOn");
        QTest::newRow("not registered") << Status::notRegistered << false;
        QTest::newRow("enabled") << Status::enabled << true;
        QTest::newRow("requires approval") << Status::requiresApproval << false;
        QTest::newRow("not found") << Status::notFound << false;
    }

    void initialSwitch()
    {
        QFETCH(Status, status);
        QFETCH(bool, isOn);
        FakeLoginItemService service;
        service.currentStatus = status;
        const LaunchAtLoginSwitch loginSwitch = LaunchAtLoginSwitch::initial(service);
        QCOMPARE(loginSwitch.isOn, isOn);
        QVERIFY(!loginSwitch.message);
    }

    void settingTheSwitch_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<bool>("newValue");
        QTest::addColumn<QString>("registerFailure");
        QTest::addColumn<QString>("unregisterFailure");
        QTest::addColumn<std::optional<Status>>("statusAfterCall");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("isOn");
        QTest::addColumn<QString>("message");

        const std::optional<Status> unchanged;
        const QStringList none;
        const QStringList reg{u"register"_s};
        const QStringList unreg{u"unregister"_s};
        // Every row starts with an earlier message under the switch.
        const QString earlier = u"earlier"_s;

        QTest::newRow("not registered, on") << Status::notRegistered << true << QString() << QString()
                                            << std::optional(Status::enabled) << reg << true << u"<none>"_s;
        QTest::newRow("not registered, off") << Status::notRegistered << false << QString() << QString()
                                             << unchanged << none << false << earlier;
        QTest::newRow("enabled, on") << Status::enabled << true << QString() << QString() << unchanged << none
                                     << true << earlier;
        QTest::newRow("enabled, off")
            << Status::enabled << false << QString() << QString() << std::optional(Status::notRegistered)
            << unreg << false << u"<none>"_s;
        QTest::newRow("requires approval, on counts as registered")
            << Status::requiresApproval << true << QString() << QString() << unchanged << none << true
            << earlier;
        QTest::newRow("requires approval, off")
            << Status::requiresApproval << false << QString() << QString()
            << std::optional(Status::notRegistered) << unreg << false << u"<none>"_s;
        QTest::newRow("not found, on") << Status::notFound << true << QString() << QString()
                                       << std::optional(Status::enabled) << reg << true << u"<none>"_s;
        QTest::newRow("not found, off")
            << Status::notFound << false << QString() << QString() << unchanged << none << false << earlier;
        QTest::newRow("register fails") << Status::notRegistered << true << u"disk full"_s << QString()
                                        << unchanged << reg << false << u"disk full"_s;
        QTest::newRow("register fails yet reads enabled")
            << Status::notRegistered << true << u"disk full"_s << QString() << std::optional(Status::enabled)
            << reg << true << u"disk full"_s;
        QTest::newRow("unregister fails, still enabled")
            << Status::enabled << false << QString() << u"busy"_s << unchanged << unreg << true << u"busy"_s;
        QTest::newRow("unregister fails, awaiting approval")
            << Status::requiresApproval << false << QString() << u"busy"_s << unchanged << unreg << false
            << u"busy"_s;
        QTest::newRow("register awaits approval")
            << Status::notRegistered << true << QString() << QString()
            << std::optional(Status::requiresApproval) << QStringList{u"register"_s, u"openSettings"_s}
            << true << u"key:loginApproval"_s;
    }

    void settingTheSwitch()
    {
        QFETCH(Status, status);
        QFETCH(bool, newValue);
        QFETCH(QString, registerFailure);
        QFETCH(QString, unregisterFailure);
        QFETCH(std::optional<Status>, statusAfterCall);
        QFETCH(QStringList, calls);
        QFETCH(bool, isOn);
        QFETCH(QString, message);

        FakeLoginItemService service;
        service.currentStatus = status;
        service.registerFailure = registerFailure;
        service.unregisterFailure = unregisterFailure;
        service.statusAfterCall = statusAfterCall;

        LaunchAtLoginSwitch loginSwitch{!newValue, AppMessage{std::nullopt, AppError::fixed(u"earlier"_s)}};
        loginSwitch.set(newValue, service);

        QCOMPARE(service.calls, calls);
        QCOMPARE(loginSwitch.isOn, isOn);
        QCOMPARE(describe(loginSwitch.message), message);
    }
};

QTEST_GUILESS_MAIN(TestLoginItemService)
#include "tst_loginitemservice.moc"
