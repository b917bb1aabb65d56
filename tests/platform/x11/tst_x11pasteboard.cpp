#include "models/PasteboardType.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"
#include "services/ClipboardMonitor.h"
#include "support/FakeWorkspace.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

Q_DECLARE_METATYPE(QList<PasteboardItemSnapshot>)

using namespace std::chrono_literals;

namespace {

const QString plainText = PasteboardType::plainText;
const QString html = PasteboardType::html;
const QString png = PasteboardType::png;
const QString fileURL = PasteboardType::fileURL;

QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 7 + y, y * 13 + x, (x ^ y) & 0xff));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 0);
    return bytes;
}

} // namespace

// The real backend against copies made by other X clients on a private server.
class TestX11Pasteboard : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;
    std::vector<std::unique_ptr<QProcess>> m_owners;
    std::unique_ptr<X11Pasteboard> m_pasteboard;
    FakeWorkspace m_workspace;
    std::unique_ptr<ClipboardMonitor> m_monitor;
    QList<ClipboardEntry> m_captures;
    QList<L10n::Key> m_notices;

    QString file(const QString& name, const QByteArray& contents)
    {
        const QString path = m_files.filePath(name);
        QFile out(path);
        if (out.open(QIODevice::WriteOnly))
            out.write(contents);
        return path;
    }

    // xclip serves the copy from a child it forks; the parent exits once it has handed over.
    void xclip(const QStringList& arguments, const QByteArray& input)
    {
        QProcess process;
        process.start(QStringLiteral("xclip"),
                      QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard")} + arguments);
        QVERIFY(process.waitForStarted());
        process.write(input);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
    }

    // The forked child may take the selection only after the parent has exited.
    static bool clipboardHolds(const QByteArray& text)
    {
        return QTest::qWaitFor([&] { return xclipOut(QStringLiteral("UTF8_STRING")) == text; }, 10000);
    }

    QProcess* owner(const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TEST_CLIPBOARD_OWNER), arguments);
        if (!process->waitForStarted() || !process->waitForReadyRead(10000) ||
            process->readLine().trimmed() != "ready") {
            qWarning("the test clipboard owner did not start");
            return nullptr;
        }
        m_owners.push_back(std::move(process));
        return m_owners.back().get();
    }

    void makeBackend(X11ClipboardReader::Options options = {})
    {
        m_monitor.reset();
        m_pasteboard = std::make_unique<X11Pasteboard>(qgetenv("DISPLAY"), options);
        QVERIFY2(m_pasteboard->isValid(), qPrintable(m_pasteboard->errorString()));
        m_monitor = std::make_unique<ClipboardMonitor>(*m_pasteboard, m_workspace);
        m_monitor->onCapture = [this](const ClipboardEntry& entry) { m_captures.append(entry); };
        m_monitor->onNotice = [this](L10n::Key key) { m_notices.append(key); };
    }

    // Waits for the reader to publish what it read, then lets the monitor look.
    bool publishedAndPolled(int timeout = 15000)
    {
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        if (!published.wait(timeout))
            return false;
        m_monitor->poll();
        return true;
    }

    // Reads one target as another client would; our own event loop must run to answer it.
    static QByteArray xclipOut(const QString& target)
    {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                QStringLiteral("-o"), QStringLiteral("-t"), target});
        if (!finished.wait(10000))
            return "(no answer)";
        return process.readAllStandardOutput();
    }

    QStringList requested(const QString& logPath)
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(qApp->nativeInterface<QNativeInterface::QX11Application>()); }

    void init()
    {
        m_captures.clear();
        m_notices.clear();
        m_workspace.frontmost.reset();
    }

    void cleanup()
    {
        m_monitor.reset();
        m_pasteboard.reset();
        for (auto& process : m_owners) {
            process->terminate();
            process->waitForFinished(5000);
        }
        m_owners.clear();
    }

    void contentsPresentAtStartAreNotACopy()
    {
        xclip({}, "present before start");
        QVERIFY(clipboardHolds("present before start"));
        makeBackend();
        m_monitor->start();
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(!published.wait(800));
        m_monitor->poll();
        QVERIFY(m_captures.isEmpty());

        xclip({}, "copied afterwards");
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(m_captures.first().plainText, std::optional<QString>(QStringLiteral("copied afterwards")));
    }

    void captures_data()
    {
        QTest::addColumn<QStringList>("xclipArguments");
        QTest::addColumn<QByteArray>("xclipInput");
        QTest::addColumn<QStringList>("ownerArguments");
        QTest::addColumn<QList<PasteboardItemSnapshot>>("items");
        QTest::addColumn<ClipboardKind>("kind");
        QTest::addColumn<QString>("title");

        const QByteArray text = QStringLiteral("第一行 first line\nsecond").toUtf8();
        QTest::newRow("text") << QStringList() << text << QStringList()
                              << QList<PasteboardItemSnapshot>{{{{plainText, text}}}} << ClipboardKind::text
                              << QStringLiteral("第一行 first line");

        QTest::newRow("html with text, several targets at once")
            << QStringList() << QByteArray()
            << QStringList{QStringLiteral("text/html=<b>bold</b>"), QStringLiteral("UTF8_STRING=bold"),
                           QStringLiteral("x-private/thing=ignored")}
            << QList<PasteboardItemSnapshot>{{{{html, "<b>bold</b>"}, {plainText, "bold"}}}}
            << ClipboardKind::text << QStringLiteral("bold");

        QTest::newRow("text listed after 2,000 other targets")
            << QStringList() << QByteArray()
            << QStringList{QStringLiteral("--pad-targets"), QStringLiteral("2000"),
                           QStringLiteral("UTF8_STRING=late")}
            << QList<PasteboardItemSnapshot>{{{{plainText, "late"}}}} << ClipboardKind::text
            << QStringLiteral("late");

        const QByteArray smallPng = pngBytes(16, 16);
        QTest::newRow("png") << QStringList{QStringLiteral("-t"), QStringLiteral("image/png")} << smallPng
                             << QStringList() << QList<PasteboardItemSnapshot>{{{{png, smallPng}}}}
                             << ClipboardKind::image << QString();

        // Several MiB go through the incremental protocol.
        const QByteArray largePng = pngBytes(1400, 1100);
        QTest::newRow("large png, incremental")
            << QStringList{QStringLiteral("-t"), QStringLiteral("image/png")} << largePng << QStringList()
            << QList<PasteboardItemSnapshot>{{{{png, largePng}}}} << ClipboardKind::image << QString();

        QTest::newRow("two files")
            << QStringList{QStringLiteral("-t"), QStringLiteral("text/uri-list")}
            << QByteArray("file:///home/user/report%20final.pdf\r\nfile:///home/user/photos/\r\n")
            << QStringList()
            << QList<PasteboardItemSnapshot>{{{{fileURL, "file:///home/user/report%20final.pdf"}}},
                                             {{{fileURL, "file:///home/user/photos/"}}}}
            << ClipboardKind::file << QStringLiteral("report final.pdf");
    }

    void captures()
    {
        QFETCH(QStringList, xclipArguments);
        QFETCH(QByteArray, xclipInput);
        QFETCH(QStringList, ownerArguments);
        QFETCH(QList<PasteboardItemSnapshot>, items);
        QFETCH(ClipboardKind, kind);
        QFETCH(QString, title);

        makeBackend();
        m_monitor->start();
        if (ownerArguments.isEmpty())
            xclip(xclipArguments, xclipInput);
        else
            QVERIFY(owner(ownerArguments));
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
        const ClipboardEntry& entry = m_captures.first();
        QCOMPARE(entry.items, items);
        QCOMPARE(entry.kind, kind);
        QCOMPARE(entry.title, title);
        QCOMPARE(entry.fingerprint, ClipboardEntry::fingerprintOf(items));
    }

    void markedCopiesAreNeverRead_data()
    {
        QTest::addColumn<QStringList>("targets");
        const QStringList secret{QStringLiteral("UTF8_STRING=hunter2"),
                                 QStringLiteral("text/html=<i>hunter2</i>")};
        const QString hint = QStringLiteral("x-kde-passwordManagerHint=secret");
        const auto pad = [](int count) {
            return QStringList{QStringLiteral("--pad-targets"), QString::number(count)};
        };
        QTest::newRow("password manager hint") << secret + QStringList{hint};
        QTest::newRow("concealed type")
            << secret + QStringList{QStringLiteral("org.nspasteboard.ConcealedType=")};
        QTest::newRow("Clipwell's own write")
            << secret + QStringList{QStringLiteral("app.clipwell.internal=1")};
        QTest::newRow("transient") << secret + QStringList{QStringLiteral("org.nspasteboard.TransientType=")};
        QTest::newRow("hint at position 2,000 of 3,000 targets")
            << secret + pad(1997) + QStringList{hint} + pad(998);
        // A list too long to read whole may hide a marker in the part left unread.
        QTest::newRow("targets past the reading budget") << secret + pad(300'000) + QStringList{hint};
        QTest::newRow("targets past the budget, incrementally")
            << QStringList{QStringLiteral("--incr-targets")} + secret + pad(300'000) + QStringList{hint};
    }

    void markedCopiesAreNeverRead()
    {
        QFETCH(QStringList, targets);
        const QString log = m_files.filePath(
            QStringLiteral("requests-%1.log").arg(QString::fromUtf8(QTest::currentDataTag())));
        makeBackend();
        m_monitor->start();
        QVERIFY(owner(QStringList{QStringLiteral("--log"), log} + targets));
        QVERIFY(publishedAndPolled());
        QVERIFY(m_captures.isEmpty());
        QVERIFY(m_notices.isEmpty());
        QCOMPARE(requested(log), QStringList{QStringLiteral("TARGETS")});
    }

    void tooLargeCopyIsRefusedOnce()
    {
        makeBackend();
        m_monitor->start();
        xclip({QStringLiteral("-t"), QStringLiteral("text/plain")}, QByteArray(13 * 1024 * 1024, 'x'));
        QVERIFY(publishedAndPolled(30000));
        QCOMPARE(m_notices, QList<L10n::Key>{L10n::Key::copyTooLarge});
        m_monitor->poll();
        QCOMPARE(m_notices.size(), 1);
        QVERIFY(m_captures.isEmpty());
    }

    void hungOwnerDoesNotHoldUpTheNextCopy()
    {
        // Long enough that the test would visibly stall if anything on this thread waited for it.
        X11ClipboardReader::Options options;
        options.answerTimeout = 60s;
        makeBackend(options);
        m_monitor->start();
        const QString log = m_files.filePath(QStringLiteral("hung.log"));
        QVERIFY(owner(
            {QStringLiteral("--hang"), QStringLiteral("--log"), log, QStringLiteral("UTF8_STRING=stuck")}));
        QTRY_COMPARE(requested(log), QStringList{QStringLiteral("TARGETS")});

        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; i < 10; ++i) {
            m_monitor->poll();
            QTest::qWait(20);
        }
        QVERIFY(elapsed.elapsed() < 5000);
        QVERIFY(m_captures.isEmpty());

        xclip({}, "after the hung owner");
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(m_captures.first().plainText,
                 std::optional<QString>(QStringLiteral("after the hung owner")));
    }

    void slowTargetIsLeftOut()
    {
        X11ClipboardReader::Options options;
        options.answerTimeout = 300ms;
        makeBackend(options);
        m_monitor->start();
        QVERIFY(owner({QStringLiteral("--hang-target"), QStringLiteral("text/html"),
                       QStringLiteral("text/html=<b>never</b>"), QStringLiteral("UTF8_STRING=arrives")}));
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(m_captures.first().items,
                 (QList<PasteboardItemSnapshot>{{{{plainText, QByteArray("arrives")}}}}));
    }

    void nothingIsReadWhileStopped()
    {
        makeBackend();
        const QString log = m_files.filePath(QStringLiteral("stopped.log"));
        QVERIFY(owner({QStringLiteral("--log"), log, QStringLiteral("UTF8_STRING=while paused")}));
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(!published.wait(600));
        QVERIFY(requested(log).isEmpty());

        // Resuming the way the app does: what was copied meanwhile is not recorded, nor even read.
        m_monitor->markCurrentContentsSeen();
        m_monitor->start();
        QVERIFY(!published.wait(600));
        QVERIFY(requested(log).isEmpty());

        xclip({}, "after resuming");
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
    }

    void copyWhileStoppedIsReadOnStart()
    {
        makeBackend();
        xclip({}, "copied before polling began");
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(!published.wait(500));
        m_monitor->start();
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
    }

    void markingSeenCoversAReadInFlight()
    {
        makeBackend();
        m_monitor->start();
        const QString log = m_files.filePath(QStringLiteral("slow.log"));
        QVERIFY(owner({QStringLiteral("--delay-ms"), QStringLiteral("700"), QStringLiteral("--log"), log,
                       QStringLiteral("UTF8_STRING=slow")}));
        QTRY_VERIFY(!requested(log).isEmpty());
        const qint64 before = m_pasteboard->changeCount();
        m_monitor->markCurrentContentsSeen();
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(published.wait(15000));
        QCOMPARE(m_pasteboard->changeCount(), before);
        m_monitor->poll();
        QVERIFY(m_captures.isEmpty());
    }

    void writeBack_data()
    {
        QTest::addColumn<QList<PasteboardItemSnapshot>>("items");
        const PasteboardRepresentation marker{PasteboardType::ownMarker, "1"};
        QTest::newRow("text and html") << QList<PasteboardItemSnapshot>{
            {{{html, "<p>caf\xc3\xa9</p>"}, {plainText, "caf\xc3\xa9"}, marker}}};
        QTest::newRow("png and tiff on one item") << QList<PasteboardItemSnapshot>{
            {{{png, pngBytes(8, 8)}, {PasteboardType::tiff, "II*\0tiff"}, marker}}};
        QTest::newRow("two files") << QList<PasteboardItemSnapshot>{
            {{{fileURL, "file:///tmp/one.txt"}, marker}},
            {{{fileURL, "file:///tmp/two%20words.txt"}, marker}}};
    }

    void writeBack()
    {
        QFETCH(QList<PasteboardItemSnapshot>, items);
        makeBackend();
        m_monitor->start();
        const qint64 before = m_pasteboard->changeCount();
        QVERIFY(m_pasteboard->write(items));
        QCOMPARE(m_pasteboard->changeCount(), before + 1);

        const QByteArray targets = xclipOut(QStringLiteral("TARGETS"));
        QVERIFY2(targets.split('\n').contains("app.clipwell.internal"), targets.constData());
        for (const auto& [target, bytes] : X11TargetMap::writeTargets(items))
            QCOMPARE(xclipOut(QString::fromLatin1(target)), bytes);

        // Our own ownership is never read back as a copy.
        m_monitor->markCurrentContentsSeen();
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(!published.wait(700));
        m_monitor->poll();
        QVERIFY(m_captures.isEmpty());

        xclip({}, "copied by someone else");
        QVERIFY(publishedAndPolled());
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(m_captures.first().plainText,
                 std::optional<QString>(QStringLiteral("copied by someone else")));
    }

    void sourceApplicationIsTheActiveWindow()
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* connection = x11->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const auto intern = [connection](const char* name) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                nullptr);
            const xcb_atom_t atom = reply->atom;
            std::free(reply);
            return atom;
        };
        const xcb_window_t window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const QByteArray wmClass("notes\0Notes\0", 12);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(wmClass.size()), wmClass.constData());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, intern("_NET_ACTIVE_WINDOW"),
                            XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(connection);

        QTemporaryDir noApplications;
        X11Workspace workspace(connection, DesktopEntryIndex({noApplications.path()}));
        m_pasteboard = std::make_unique<X11Pasteboard>(qgetenv("DISPLAY"));
        ClipboardMonitor monitor(*m_pasteboard, workspace);
        monitor.onCapture = [this](const ClipboardEntry& entry) { m_captures.append(entry); };
        monitor.start();
        xclip({}, "from the notes app");
        QSignalSpy published(m_pasteboard.get(), &X11Pasteboard::published);
        QVERIFY(published.wait(15000));
        monitor.poll();
        QCOMPARE(m_captures.size(), 1);
        QCOMPARE(m_captures.first().sourceName, QStringLiteral("Notes"));
        QCOMPARE(m_captures.first().sourceBundleIdentifier, std::optional<QString>(QStringLiteral("Notes")));
        xcb_destroy_window(connection, window);
    }
};

QTEST_MAIN(TestX11Pasteboard)
#include "tst_x11pasteboard.moc"
