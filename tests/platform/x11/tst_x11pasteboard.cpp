#include "models/PasteboardType.h"
#include "platform/x11/X11Pasteboard.h"
#include "services/ClipboardMonitor.h"
#include "support/FakeWorkspace.h"
#include "support/TestColumns.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using Items = QList<PasteboardItemSnapshot>;
Q_DECLARE_METATYPE(Items)
using Served = QList<std::pair<QString, QByteArray>>;
Q_DECLARE_METATYPE(Served)

using namespace Qt::StringLiterals;
using namespace PasteboardType;

// The real backend against copies made by other X clients on a private server.
class TestX11Pasteboard : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;
    QString m_log;
    std::vector<std::unique_ptr<QProcess>> m_owners;
    std::unique_ptr<X11Pasteboard> m_pasteboard;
    FakeWorkspace m_workspace;
    std::unique_ptr<ClipboardMonitor> m_monitor;
    QList<ClipboardEntry> m_captures;
    QList<L10n::Key> m_notices;
    // The item types of every read the reader published.
    QList<QList<QStringList>> m_publications;

    // xclip serves the copy from a child it forks; the parent exits once it has handed over.
    void xclip(const QByteArray& input)
    {
        QProcess process;
        process.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s});
        QVERIFY(process.waitForStarted());
        process.write(input);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 0);
    }

    // Reads one target as another client would; our own event loop must run to answer it.
    static QByteArray xclipOut(const QString& target)
    {
        QProcess process;
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s, u"-o"_s, u"-t"_s, target});
        return finished.wait(10000) ? process.readAllStandardOutput() : "(no answer)";
    }

    // A test clipboard owner that logs what is asked of it to m_log.
    QProcess* owner(const QStringList& arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TEST_CLIPBOARD_OWNER), QStringList{u"--log"_s, m_log} + arguments);
        const bool ready = process->waitForReadyRead(10000) && process->readLine().trimmed() == "ready";
        m_owners.push_back(std::move(process));
        return ready ? m_owners.back().get() : nullptr;
    }

    QStringList requested() const
    {
        QFile log(m_log);
        return log.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    void makeBackend(bool start = true, X11ClipboardReader::Options options = {})
    {
        m_pasteboard = std::make_unique<X11Pasteboard>(qgetenv("DISPLAY"), options);
        QVERIFY2(m_pasteboard->isValid(), qPrintable(m_pasteboard->errorString()));
        connect(m_pasteboard.get(), &X11Pasteboard::published, this,
                [this] { m_publications.append(m_pasteboard->itemTypes()); });
        m_monitor = std::make_unique<ClipboardMonitor>(*m_pasteboard, m_workspace);
        m_monitor->onCapture = [this](const ClipboardEntry& entry) {
            m_captures.append(entry);
            return true;
        };
        m_monitor->onNotice = [this](L10n::Key key) { m_notices.append(key); };
        if (start)
            m_monitor->start();
    }

    // Waits for the reader to publish what it read, then lets the monitor look.
    bool published(int timeout = 15000)
    {
        QSignalSpy spy(m_pasteboard.get(), &X11Pasteboard::published);
        if (!spy.wait(timeout))
            return false;
        m_monitor->poll();
        return true;
    }

    QStringList capturedTexts() const
    {
        QStringList texts;
        for (const ClipboardEntry& entry : m_captures)
            texts.append(entry.plainText.value_or(u"(no text)"_s));
        return texts;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(qApp->nativeInterface<QNativeInterface::QX11Application>()); }

    void init()
    {
        m_log = m_files.filePath(u"requests.log"_s);
        QFile::remove(m_log);
        m_captures.clear();
        m_notices.clear();
        m_publications.clear();
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

    void whatStartingReads_data()
    {
        addColumns<bool, bool, QStringList>("ownedBeforeBackend", "markSeen", "captured");
        QTest::newRow("contents present at start are no copy") << true << false << QStringList{u"later"_s};
        QTest::newRow("copied while stopped") << false << false << QStringList{u"early"_s, u"later"_s};
        QTest::newRow("copied while stopped, marked seen") << false << true << QStringList{u"later"_s};
    }

    void whatStartingReads()
    {
        QFETCH(bool, ownedBeforeBackend);
        QFETCH(bool, markSeen);
        QFETCH(QStringList, captured);
        if (ownedBeforeBackend)
            QVERIFY(owner({u"UTF8_STRING=early"_s}));
        makeBackend(false);
        if (!ownedBeforeBackend)
            QVERIFY(owner({u"UTF8_STRING=early"_s}));
        QVERIFY(!published(600));
        if (markSeen)
            m_monitor->markCurrentContentsSeen();
        m_monitor->start();
        QCOMPARE(published(captured.size() == 2 ? 15000 : 600), captured.size() == 2);
        // What is not recorded is not even read.
        QCOMPARE(requested().isEmpty(), captured.size() == 1);
        QVERIFY(owner({u"UTF8_STRING=later"_s}));
        QVERIFY(published());
        QCOMPARE(capturedTexts(), captured);
    }

    void markingSeenCoversAReadInFlight()
    {
        makeBackend();
        QVERIFY(
            owner({u"--hang-target"_s, u"text/html"_s, u"text/html=<b>slow</b>"_s, u"UTF8_STRING=slow"_s}));
        QTRY_COMPARE(requested(), (QStringList{u"TARGETS"_s, u"text/html"_s}));
        const qint64 before = m_pasteboard->changeCount();
        m_monitor->markCurrentContentsSeen();
        QVERIFY(published());
        QCOMPARE(m_pasteboard->changeCount(), before);
        QVERIFY(m_captures.isEmpty());
    }

    void reads_data()
    {
        addColumns<QStringList, QByteArray, int, Items>("ownerArguments", "xclipText", "answerTimeoutMs",
                                                        "items");
        const auto text = [](const QByteArray& bytes) { return Items{{{{plainText, bytes}}}}; };
        // Where no answer is meant to time out: a loaded machine may take its time.
        const int patient = 60000;

        const QByteArray lines = u"第一行 first line\nsecond"_s.toUtf8();
        QTest::newRow("text") << QStringList() << lines << patient << text(lines);
        QTest::newRow("html and text, listed around 2,000 others")
            << QStringList{u"text/html=<b>bold</b>"_s, u"--pad-targets"_s, u"2000"_s, u"UTF8_STRING=bold"_s,
                           u"x-private/thing=ignored"_s}
            << QByteArray() << patient << Items{{{{html, "<b>bold</b>"}, {plainText, "bold"}}}};
        // Past what xclip sends in one piece.
        const QByteArray large(5 << 20, 'p');
        QTest::newRow("large, incremental") << QStringList() << large << patient << text(large);
        // Refused, with a notice, rather than captured cut off at the reading limit.
        QTest::newRow("too large") << QStringList() << QByteArray(13 << 20, 'x') << patient << Items();
        QTest::newRow("two files")
            << QStringList{u"text/uri-list=file:///home/u/report%20final.pdf\r\nfile:///home/u/photos/\r\n"_s}
            << QByteArray() << patient
            << Items{{{{fileURL, "file:///home/u/report%20final.pdf"}}},
                     {{{fileURL, "file:///home/u/photos/"}}}};
        // Long enough that the next copy shows only if it interrupts the wait.
        QTest::newRow("a hung owner does not hold up the next copy")
            << QStringList{u"--hang"_s, u"UTF8_STRING=stuck"_s} << QByteArray("next") << patient
            << text("next");
        // The one row that waits out its timeout: long enough for the answers that do come.
        QTest::newRow("a target that never comes is left out")
            << QStringList{u"--hang-target"_s, u"text/html"_s, u"text/html=<b>never</b>"_s,
                           u"UTF8_STRING=arrives"_s}
            << QByteArray() << 2000 << text("arrives");

        // Marked copies are never read.
        const QStringList secret{u"UTF8_STRING=hunter2"_s, u"text/html=<i>hunter2</i>"_s};
        const QStringList hint{u"x-kde-passwordManagerHint=secret"_s};
        const auto pad = [](int count) { return QStringList{u"--pad-targets"_s, QString::number(count)}; };
        QTest::newRow("concealed type") << secret + QStringList{u"org.nspasteboard.ConcealedType="_s}
                                        << QByteArray() << patient << Items();
        QTest::newRow("hint at position 2,000 of 3,000 targets")
            << secret + pad(1997) + hint + pad(998) << QByteArray() << patient << Items();
        // A list too long to read whole may hide a marker in the part left unread.
        QTest::newRow("targets past the reading budget")
            << secret + pad(300'000) + hint << QByteArray() << patient << Items();
        QTest::newRow("targets past the budget, incrementally")
            << QStringList{u"--incr-targets"_s} + secret + pad(300'000) + hint << QByteArray() << patient
            << Items();
    }

    void reads()
    {
        QFETCH(QStringList, ownerArguments);
        QFETCH(QByteArray, xclipText);
        QFETCH(int, answerTimeoutMs);
        QFETCH(Items, items);
        X11ClipboardReader::Options options;
        options.answerTimeout = std::chrono::milliseconds(answerTimeoutMs);
        makeBackend(true, options);
        if (!ownerArguments.isEmpty())
            QVERIFY(owner(ownerArguments));
        if (!xclipText.isNull()) {
            // Once the owner is being waited for, if there is one.
            QTRY_VERIFY(ownerArguments.isEmpty() || !requested().isEmpty());
            xclip(xclipText);
        }
        QVERIFY(published(30000));
        QCOMPARE(m_captures.size(), items.isEmpty() ? 0 : 1);
        if (!items.isEmpty())
            QCOMPARE(m_captures.first().items, items);
        const bool tooLarge = xclipText.size() > X11ClipboardReader::Options().sizeLimit;
        QCOMPARE(m_notices, tooLarge ? QList<L10n::Key>{L10n::Key::copyTooLarge} : QList<L10n::Key>());
        // Marked copies are not even read.
        if (items.isEmpty() && !tooLarge)
            QCOMPARE(requested(), QStringList{u"TARGETS"_s});
    }

    // An owner that quits leaves what was recorded on the clipboard, and nothing that was not.
    void ownerThatQuits_data()
    {
        addColumns<QStringList, QString, Served, QByteArray>("ownerArguments", "mode", "served", "said");
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString pngPath = m_files.filePath(u"copied.png"_s);
        image.save(pngPath);
        QFile pngFile(pngPath);
        const QByteArray pngBytes = pngFile.open(QIODevice::ReadOnly) ? pngFile.readAll() : QByteArray();
        // More than we serve in one piece.
        const QByteArray large = QByteArray(3 << 20, 'k') + "end";
        const QString largePath = m_files.filePath(u"large.txt"_s);
        QFile largeFile(largePath);
        QVERIFY(largeFile.open(QIODevice::WriteOnly) && largeFile.write(large) == large.size());
        largeFile.close();
        const auto exitAfter = [](const QString& target) { return QStringList{u"--exit-after"_s, target}; };
        const QStringList secret{u"UTF8_STRING=hunter2"_s, u"x-kde-passwordManagerHint=secret"_s};
        const QStringList saving{u"--save-on-exit"_s};

        QTest::newRow("text") << QStringList{u"UTF8_STRING=kept café 文字"_s} + exitAfter(u"UTF8_STRING"_s)
                              << u"recording"_s
                              << Served{{u"UTF8_STRING"_s, "kept café 文字"_ba},
                                        {u"text/plain"_s, "kept café 文字"_ba},
                                        {u"STRING"_s, "kept caf\xe9 ??"_ba},
                                        {u"TEXT"_s, "kept caf\xe9 ??"_ba}}
                              << QByteArray();
        QTest::newRow("text, its window destroyed while its client lives on")
            << QStringList{u"UTF8_STRING=kept"_s, u"--destroy-window"_s} + exitAfter(u"UTF8_STRING"_s)
            << u"recording"_s << Served{{u"UTF8_STRING"_s, "kept"}} << QByteArray();
        QTest::newRow("large text, served in chunks")
            << QStringList{u"UTF8_STRING=@"_s + largePath, u"x-test/quit="_s} + exitAfter(u"x-test/quit"_s)
            << u"recording"_s << Served{{u"UTF8_STRING"_s, large}} << QByteArray();
        QTest::newRow("html and an image")
            << QStringList{u"text/html=<b>kept</b>"_s, u"image/png=@"_s + pngPath} + exitAfter(u"image/png"_s)
            << u"recording"_s << Served{{u"text/html"_s, "<b>kept</b>"}, {u"image/png"_s, pngBytes}}
            << QByteArray();
        QTest::newRow("files")
            << QStringList{u"text/uri-list=file:///tmp/a.txt\r\nfile:///tmp/b%20c.txt\r\n"_s} +
                   exitAfter(u"text/uri-list"_s)
            << u"recording"_s
            << Served{{u"text/uri-list"_s, "file:///tmp/a.txt\r\nfile:///tmp/b%20c.txt\r\n"},
                      {u"x-special/gnome-copied-files"_s, "copy\nfile:///tmp/a.txt\nfile:///tmp/b%20c.txt"}}
            << QByteArray();
        QTest::newRow("marked") << secret + exitAfter(u"TARGETS"_s) << u"recording"_s << Served()
                                << QByteArray();
        // Deleted from the history while its owner still ran.
        QTest::newRow("forgotten") << QStringList{u"UTF8_STRING=deleted"_s, u"x-test/quit="_s} +
                                          exitAfter(u"x-test/quit"_s)
                                   << u"forgotten"_s << Served() << QByteArray();
        // The copy recorded before the pause must not come back either.
        QTest::newRow("paused") << QStringList{u"UTF8_STRING=unrecorded"_s} + exitAfter(u"TARGETS"_s)
                                << u"paused"_s << Served() << QByteArray();
        QTest::newRow("saved by the manager")
            << QStringList{u"UTF8_STRING=saved"_s} + saving + exitAfter(u"UTF8_STRING"_s) << u"observing"_s
            << Served{{u"UTF8_STRING"_s, "saved"}} << QByteArray("saved");
        QTest::newRow("marked, refused by the manager")
            << secret + saving + exitAfter(u"TARGETS"_s) << u"observing"_s << Served()
            << QByteArray("refused");
        QTest::newRow("paused, refused by the manager")
            << QStringList{u"UTF8_STRING=unrecorded"_s} + saving + exitAfter(u"TARGETS"_s) << u"paused"_s
            << Served() << QByteArray("refused");
    }

    void ownerThatQuits()
    {
        QFETCH(QStringList, ownerArguments);
        QFETCH(QString, mode);
        QFETCH(Served, served);
        QFETCH(QByteArray, said);
        makeBackend(mode != u"observing"_s);
        if (mode == u"paused"_s) {
            QVERIFY(owner({u"UTF8_STRING=recorded before the pause"_s}));
            QVERIFY(published());
            m_monitor->stop();
        } else if (mode == u"observing"_s) {
            m_pasteboard->setObserving(true);
        }
        const qsizetype recorded = m_captures.size();
        QProcess* quitting = owner(ownerArguments);
        QVERIFY(quitting);
        if (mode == u"recording"_s || mode == u"forgotten"_s)
            QVERIFY(published());
        if (mode == u"forgotten"_s)
            m_monitor->forgetRecorded();
        // Owners that are not read to the end quit when asked for their last target.
        if (mode == u"paused"_s || ownerArguments.contains(u"x-test/quit="_s))
            xclipOut(ownerArguments.last());
        // Already finished when the event loop of a read above noticed.
        QTRY_COMPARE_WITH_TIMEOUT(quitting->state(), QProcess::NotRunning, 10000);
        QCOMPARE(quitting->readAllStandardOutput().trimmed(), said);
        for (const auto& [target, bytes] : served)
            QTRY_COMPARE(xclipOut(target), bytes);
        if (served.isEmpty()) {
            // Once the reader has seen the owner go without putting anything back, it reads an empty
            // clipboard.
            m_pasteboard->setObserving(true);
            QTRY_VERIFY(!m_publications.isEmpty() && m_publications.last().isEmpty());
            QCOMPARE(xclipOut(u"UTF8_STRING"_s), QByteArray());
        }
        if (ownerArguments.contains(u"x-kde-passwordManagerHint=secret"_s))
            QVERIFY(!requested().contains(u"UTF8_STRING"_s));
        // What is put back is no new copy; the next copy by someone else is.
        if (mode != u"observing"_s) {
            m_monitor->poll();
            const bool captured = mode == u"forgotten"_s || (mode == u"recording"_s && !served.isEmpty());
            QCOMPARE(m_captures.size(), recorded + captured);
        }
        if (mode != u"paused"_s) {
            m_monitor->start();
            xclip("next");
            QVERIFY(published());
            QCOMPARE(capturedTexts().last(), u"next"_s);
        }
    }

    void writeBack()
    {
        // Every kind of target Qt might treat specially: text, html, an image, files.
        const PasteboardRepresentation marker{ownMarker, "1"};
        const Items items{{{{html, "<p>caf\xc3\xa9</p>"},
                            {plainText, "caf\xc3\xa9 \xe6\x96\x87"},
                            {png, "\x89PNG"},
                            {fileURL, "file:///tmp/one.txt"},
                            marker}},
                          {{{fileURL, "file:///tmp/two%20words.txt"}, marker}}};
        makeBackend();
        const qint64 before = m_pasteboard->changeCount();
        QVERIFY(m_pasteboard->write(items));
        QVERIFY(xclipOut(u"TARGETS"_s).split('\n').contains("app.clipwell.internal"));
        for (const auto& [target, bytes] : X11TargetMap::writeTargets(items))
            QCOMPARE(xclipOut(QString::fromLatin1(target)), bytes);

        // Our own ownership is never read back as a copy; the next one by someone else is.
        QVERIFY(owner({u"UTF8_STRING=someone else"_s}));
        QVERIFY(published());
        QCOMPARE(capturedTexts(), QStringList{u"someone else"_s});
        QCOMPARE(m_publications.size(), 1);
        QCOMPARE(m_pasteboard->changeCount(), before + 2);
    }
};

QTEST_MAIN(TestX11Pasteboard)
#include "tst_x11pasteboard.moc"
