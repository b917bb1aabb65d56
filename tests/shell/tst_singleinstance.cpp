#include "shell/SingleInstance.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What a crashed instance leaves behind: a socket file nobody listens on.
bool leaveStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()) + 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondLaunchPresentsTheFirst_data()
    {
        QTest::addColumn<bool>("staleSocket");
        QTest::newRow("clean folder") << false;
        QTest::newRow("socket left by a crash") << true;
    }

    void secondLaunchPresentsTheFirst()
    {
        QFETCH(bool, staleSocket);
        QTemporaryDir root;
        SingleInstance first(root.path());
        if (staleSocket)
            QVERIFY(leaveStaleSocket(first.socketPath()));
        QSignalSpy presented(&first, &SingleInstance::presentRequested);
        QCOMPARE(first.claim(), SingleInstance::Claim::primary);

        // The later launch blocks until answered, so it runs beside this event loop.
        std::atomic<int> claim{-1};
        std::thread launch([&] {
            SingleInstance second(root.path());
            claim = static_cast<int>(second.claim());
        });
        const bool answered = presented.wait(10000);
        launch.join();
        QVERIFY(answered);
        QCOMPARE(presented.size(), 1);
        QCOMPARE(claim.load(), static_cast<int>(SingleInstance::Claim::secondary));
    }

    void refusesAFolderOthersCanOpen()
    {
        QTemporaryDir root;
        QVERIFY(QFile::setPermissions(root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                       QFileDevice::ExeOwner | QFileDevice::ExeOther));
        SingleInstance instance(root.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::failed);
        QVERIFY(instance.errorString().contains(root.path()));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
