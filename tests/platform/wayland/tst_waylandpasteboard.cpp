#include "models/PasteboardType.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "support/TestColumns.h"
#include "support/wayland/FakeDataControlChannel.h"

#include <QSignalSpy>
#include <QTest>
#include <poll.h>

using namespace Qt::StringLiterals;
using namespace PasteboardType;
using Owner = FakeDataControlChannel::Owner;
using Types = QList<FakeDataControlChannel::Type>;
Q_DECLARE_METATYPE(Types)

namespace {

constexpr qint64 sizeLimit = 100'000;
const QByteArray bigPng = "\x89PNG" + QByteArray(90'000, 'p');

// Everything a pipe gives until its writer closes it; nothing after two seconds of silence.
std::optional<QByteArray> drain(int fd)
{
    QByteArray data;
    char buffer[4096];
    pollfd readable{fd, POLLIN, 0};
    ssize_t count = -1;
    while (::poll(&readable, 1, 2000) > 0 && (count = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, count);
    ::close(fd);
    return count == 0 ? std::optional(data) : std::nullopt;
}

} // namespace

class TestWaylandPasteboard : public QObject {
    Q_OBJECT

private:
    FakeDataControlChannel* m_channel = nullptr;
    std::unique_ptr<WaylandPasteboard> m_pasteboard;
    int m_changes = 0;

    void start(const Types& atStart = {})
    {
        auto channel = std::make_unique<FakeDataControlChannel>();
        m_channel = channel.get();
        channel->holdAtStart(atStart);
        DataControlClipboard::Options options;
        options.answerTimeout = std::chrono::milliseconds(300);
        options.sizeLimit = sizeLimit;
        options.serveTimeout = std::chrono::milliseconds(300);
        m_pasteboard = std::make_unique<WaylandPasteboard>(std::move(channel), options);
        m_changes = 0;
        m_pasteboard->setChangeHandler([this] { ++m_changes; });
        m_pasteboard->setObserving(true);
    }
    bool published(int timeout = 5000)
    {
        QSignalSpy spy(m_pasteboard.get(), &WaylandPasteboard::published);
        return spy.wait(timeout);
    }
    QByteArray data(const QString& type, qsizetype item = 0) const
    {
        return m_pasteboard->data(item, type).value_or("<none>");
    }

private Q_SLOTS:
    void cleanup() { m_pasteboard.reset(); }

    // What a copy's owner offers and how it writes, and what the history gets of it.
    void capture_data()
    {
        addColumns<Types, QList<QStringList>, QByteArray>("offered", "types", "text");

        const QByteArray utf8 = "text/plain;charset=utf-8";
        QTest::newRow("text with html") << Types{{"text/html", "<b>caf\xc3\xa9</b>"}, {utf8, "caf\xc3\xa9"}}
                                        << QList<QStringList>{{html, plainText}} << QByteArray("caf\xc3\xa9");
        QTest::newRow("an owner that closes without writing")
            << Types{{"text/html", "<b>x</b>", Owner::closesEarly}, {utf8, "x"}}
            << QList<QStringList>{{plainText}} << QByteArray("x");
        QTest::newRow("an owner that never writes one type")
            << Types{{"text/html", "", Owner::neverWrites}, {utf8, "x"}} << QList<QStringList>{{plainText}}
            << QByteArray("x");
        QTest::newRow("files") << Types{{"text/uri-list", "# two\r\nfile:///a/one\r\nfile:///b/two%20x\r\n"}}
                               << QList<QStringList>{{fileURL}, {fileURL}} << QByteArray("<none>");
        // Nothing of a password is read: the types alone tell the history to leave it.
        QTest::newRow("password hint") << Types{{utf8, "hunter2"}, {"x-kde-passwordManagerHint", "secret"}}
                                       << QList<QStringList>{{plainText, concealed}} << QByteArray("<none>");
    }
    void capture()
    {
        QFETCH(Types, offered);
        QFETCH(QList<QStringList>, types);
        QFETCH(QByteArray, text);
        start();
        m_channel->copy(offered);
        QVERIFY(published());
        QCOMPARE(m_pasteboard->itemTypes(), types);
        QCOMPARE(data(plainText), text);
        QCOMPARE(m_changes, 1);
        if (types.first().contains(concealed))
            QCOMPARE(m_channel->received(), QList<QByteArray>());
    }

    // Large values come in many reads; past the budget the copy is cut off, so that it is refused as
    // too large, however long its owner would go on.
    void sizes_data()
    {
        addColumns<Owner, QByteArray, qsizetype>("owner", "value", "read");
        QTest::newRow("under the budget") << Owner::writes << bigPng << bigPng.size();
        QTest::newRow("over the budget") << Owner::writes << bigPng + bigPng << qsizetype(sizeLimit + 1);
        QTest::newRow("endless") << Owner::writesForever << bigPng << qsizetype(sizeLimit + 1);
    }
    void sizes()
    {
        QFETCH(Owner, owner);
        QFETCH(QByteArray, value);
        QFETCH(qsizetype, read);
        start();
        m_channel->copy({{"image/png", value, owner}});
        QVERIFY(published());
        QCOMPARE(data(png).size(), read);
        if (read == value.size())
            QCOMPARE(data(png), value);
    }

    // Only the latest of many copies is read, even when every earlier owner hangs.
    void flood()
    {
        start();
        for (int i = 0; i < 200; ++i)
            m_channel->copy({{"text/html", "", Owner::neverWrites}, {"UTF8_STRING", QByteArray::number(i)}});
        m_channel->copy({{"UTF8_STRING", "last"}});
        QTRY_COMPARE(data(plainText), QByteArray("last"));
        QVERIFY(m_changes <= 2);
    }

    // The contents at start are no change, nothing is read while paused, and contents marked seen
    // during the read are published without a change.
    void changeCounting()
    {
        start({{"UTF8_STRING", "at start"}});
        QVERIFY(!published(500));
        m_pasteboard->setObserving(false);
        m_channel->copy({{"UTF8_STRING", "paused"}});
        QVERIFY(!published(500));
        QCOMPARE(m_channel->received(), QList<QByteArray>());
        m_pasteboard->setObserving(true);
        QVERIFY(published());
        QCOMPARE(data(plainText), QByteArray("paused"));
        QCOMPARE(m_pasteboard->changeCount(), 1);

        m_channel->copy({{"text/html", "", Owner::neverWrites}, {"UTF8_STRING", "seen"}});
        QTRY_VERIFY(m_channel->received().contains("text/html"));
        m_pasteboard->markCurrentContentsSeen();
        QVERIFY(published());
        QCOMPARE(data(plainText), QByteArray("seen"));
        QCOMPARE(m_pasteboard->changeCount(), 1);
        QCOMPARE(m_changes, 1);
    }

    // What we write is served byte for byte with our marker, never read back as a copy; a reader
    // that takes nothing is given up without holding up the others.
    void write()
    {
        start();
        // More than a pipe holds, so that a reader that takes nothing stalls its transfer.
        const QByteArray page = "<i>" + QByteArray(200'000, 'w') + "</i>";
        const QList<PasteboardItemSnapshot> items{{{{html, page}, {plainText, "w"}, {ownMarker, "1"}}}};
        QVERIFY(m_pasteboard->write(items));
        QCOMPARE(m_pasteboard->changeCount(), 1);
        QTRY_COMPARE(m_channel->sources().size(), 1);
        QVERIFY(m_channel->sources().first().contains("app.clipwell.internal"));
        const int stalled = m_channel->read("text/html");
        QCOMPARE(drain(m_channel->read("text/plain;charset=utf-8")), QByteArray("w"));
        QCOMPARE(drain(m_channel->read("text/html")), page);
        QVERIFY(!published(500));
        // Given up: what was written, then the end.
        const std::optional<QByteArray> cut = drain(stalled);
        QVERIFY(cut && cut->size() < page.size());

        m_channel->copy({{"UTF8_STRING", "someone else"}});
        QVERIFY(published());
        QCOMPARE(m_pasteboard->changeCount(), 2);
        QCOMPARE(m_changes, 1);
        // Each write is the selection by the time it returns: a paste typed next, over another
        // connection, finds it.
        for (int round = 0; round < 5; ++round) {
            const int taken = m_channel->taken();
            QVERIFY(m_pasteboard->write(items));
            QCOMPARE(m_channel->taken(), taken + 1);
        }
    }

    // When the clipboard empties, the copy last recorded goes back on it, and nothing else does.
    void keeper_data()
    {
        addColumns<bool, bool, bool, bool>("recorded", "forgotten", "replaced", "kept");
        QTest::newRow("recorded") << true << false << false << true;
        QTest::newRow("not recorded") << false << false << false << false;
        QTest::newRow("deleted from the history") << true << true << false << false;
        QTest::newRow("replaced by a copy not recorded") << true << false << true << false;
    }
    void keeper()
    {
        QFETCH(bool, recorded);
        QFETCH(bool, forgotten);
        QFETCH(bool, replaced);
        QFETCH(bool, kept);
        start();
        m_channel->copy({{"UTF8_STRING", "keep me"}});
        QVERIFY(published());
        if (recorded)
            m_pasteboard->noteRecorded(m_pasteboard->changeCount());
        if (forgotten)
            m_pasteboard->forgetRecorded();
        if (replaced) {
            m_channel->copy({{"UTF8_STRING", "paused"}});
            QVERIFY(published());
        }
        m_channel->copy({}, true);
        if (!kept) {
            QVERIFY(published());
            QCOMPARE(m_channel->sources().size(), 0);
            QCOMPARE(m_pasteboard->itemTypes(), QList<QStringList>());
            return;
        }
        QTRY_COMPARE(m_channel->sources().size(), 1);
        QVERIFY(m_channel->sources().first().contains("app.clipwell.internal"));
        QCOMPARE(drain(m_channel->read("text/plain")), QByteArray("keep me"));
        QCOMPARE(m_changes, 1);
    }

    // The owner quits as soon as it has written: its copy is still read, and kept once recorded, which
    // happens after the clipboard emptied.
    void ownerQuitsAtOnce()
    {
        start();
        // As the monitor does: read and record the copy as soon as it is published.
        QByteArray recorded;
        m_pasteboard->setChangeHandler([&] {
            if (m_pasteboard->itemTypes().isEmpty())
                return;
            recorded = data(plainText);
            m_pasteboard->noteRecorded(m_pasteboard->changeCount());
        });
        m_channel->copy({{"UTF8_STRING", "served once", Owner::quitsAtOnce}});
        QTRY_COMPARE(recorded, QByteArray("served once"));
        QTRY_COMPARE(m_channel->sources().size(), 1);
        QCOMPARE(drain(m_channel->read("text/plain")), QByteArray("served once"));
    }
};

QTEST_GUILESS_MAIN(TestWaylandPasteboard)
#include "tst_waylandpasteboard.moc"
