#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/UiHarness.h"
#include "ui/common/HistoryImagePreview.h"
#include "ui/common/HistoryThumbnailCache.h"

#include <QAccessible>
#include <QEventLoop>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray picture(QSize size, const char* format, QImageIOHandler::Transformations transformation = {})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    return encodedImage(image, format, transformation);
}

// A decoder the test controls: it counts its calls and, when gated, waits for the test to let each
// decode finish. Its thumbnails are plain bitmaps as large as the data says ("WxH").
struct ScriptedDecoder {
    std::atomic<int> calls = 0;
    std::atomic<bool> onGuiThread = false;
    bool gated = false;
    QSemaphore started;
    QSemaphore release;

    HistoryThumbnailCache::Decoder decoder()
    {
        return [this](const QByteArray& data) -> std::optional<HistoryThumbnail> {
            ++calls;
            onGuiThread = onGuiThread || QThread::currentThread() == qApp->thread();
            started.release();
            if (gated)
                release.acquire();
            return sizedThumbnail(data);
        };
    }
};

QByteArray sized(int width, int height)
{
    return QByteArray::number(width) + 'x' + QByteArray::number(height);
}

// Collects what a request delivers.
struct Receiver {
    std::unique_ptr<QObject> context = std::make_unique<QObject>();
    int deliveries = 0;
    std::optional<HistoryThumbnail> last;

    HistoryThumbnailCache::Completion completion()
    {
        return [this](std::optional<HistoryThumbnail> thumbnail) {
            ++deliveries;
            last = std::move(thumbnail);
        };
    }
};

} // namespace

class TestThumbnails : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("thumbnailSize");
        QTest::addColumn<QSize>("pixelSize");

        QTest::newRow("wide PNG down to 960")
            << picture({2400, 1200}, "png") << QSize(960, 480) << QSize(2400, 1200);
        QTest::newRow("tall TIFF down to 960")
            << picture({1000, 2000}, "tiff") << QSize(480, 960) << QSize(1000, 2000);
        QTest::newRow("small image kept") << picture({300, 200}, "png") << QSize(300, 200) << QSize(300, 200);
        QTest::newRow("long side of 960 kept")
            << picture({960, 100}, "tiff") << QSize(960, 100) << QSize(960, 100);
        QTest::newRow("EXIF orientation 6 swaps the size")
            << picture({400, 200}, "jpeg", QImageIOHandler::TransformationRotate90) << QSize(200, 400)
            << QSize(200, 400);
        QTest::newRow("rotated and scaled")
            << picture({2000, 1000}, "jpeg", QImageIOHandler::TransformationRotate90) << QSize(480, 960)
            << QSize(1000, 2000);
        QTest::newRow("not an image") << QByteArray("hello, world") << QSize() << QSize();
        QTest::newRow("PNG header without pixels")
            << picture({50, 50}, "png").first(33) << QSize() << QSize();
    }
    void decode()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, thumbnailSize);
        QFETCH(QSize, pixelSize);
        const std::optional<HistoryThumbnail> thumbnail = HistoryThumbnailCache::decode(data);
        QCOMPARE(thumbnail.has_value(), thumbnailSize.isValid());
        if (!thumbnail)
            return;
        QCOMPARE(thumbnail->image.size(), thumbnailSize);
        QCOMPARE(thumbnail->pixelSize, pixelSize);
    }

    // Requests for one key share a decode made off the GUI thread; successes are kept, failures not.
    void joinedRequests_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("decodes");
        QTest::addColumn<int>("decodesAfterALateRequest");
        QTest::newRow("one key decodes once")
            << QStringList{u"a"_s, u"a"_s, u"a"_s} << sized(40, 30) << 1 << 1;
        QTest::newRow("different keys each decode") << QStringList{u"a"_s, u"b"_s} << sized(40, 30) << 2 << 2;
        QTest::newRow("a failure is not kept") << QStringList{u"bad"_s} << QByteArray("garbage") << 1 << 2;
    }
    void joinedRequests()
    {
        QFETCH(QStringList, keys);
        QFETCH(QByteArray, data);
        QFETCH(int, decodes);
        QFETCH(int, decodesAfterALateRequest);
        ScriptedDecoder script;
        script.gated = true;
        HistoryThumbnailCache cache(script.decoder());
        std::vector<std::unique_ptr<Receiver>> receivers;
        for (const QString& key : std::as_const(keys)) {
            receivers.push_back(std::make_unique<Receiver>());
            cache.request(key, data, receivers.back()->context.get(), receivers.back()->completion());
        }
        script.release.release(int(keys.size()) + 1);
        for (const auto& receiver : receivers) {
            QTRY_COMPARE(receiver->deliveries, 1);
            QCOMPARE(receiver->last.has_value(), data != "garbage");
        }
        QCOMPARE(script.calls.load(), decodes);
        QVERIFY(!script.onGuiThread);

        Receiver late;
        cache.request(keys.first(), data, late.context.get(), late.completion());
        QTRY_COMPARE(late.deliveries, 1);
        QCOMPARE(script.calls.load(), decodesAfterALateRequest);
    }

    void limits_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("touchFirst");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<bool>("evicted");

        QTest::newRow("48 kept") << 8 << 48 << false << u"k0"_s << false;
        QTest::newRow("the 49th evicts the oldest") << 8 << 49 << false << u"k0"_s << true;
        QTest::newRow("a recent hit survives") << 8 << 49 << true << u"k0"_s << false;
        QTest::newRow("the next oldest goes instead") << 8 << 49 << true << u"k1"_s << true;
        // 1024 × 1024 × 4 bytes: eight make exactly 32 MiB.
        QTest::newRow("32 MiB kept") << 1024 << 8 << false << u"k0"_s << false;
        QTest::newRow("over 32 MiB evicts the oldest") << 1024 << 9 << false << u"k0"_s << true;
        QTest::newRow("one too costly is not kept") << 3000 << 1 << false << u"k0"_s << true;
    }
    void limits()
    {
        QFETCH(int, side);
        QFETCH(int, count);
        QFETCH(bool, touchFirst);
        QFETCH(QString, probe);
        QFETCH(bool, evicted);
        ScriptedDecoder script;
        HistoryThumbnailCache cache(script.decoder());
        // Waits in an event loop of its own rather than polling: this test makes over a hundred requests.
        const auto load = [&](const QString& key) {
            QEventLoop loop;
            QObject context;
            bool delivered = false;
            cache.request(key, sized(side, side), &context, [&](std::optional<HistoryThumbnail>) {
                delivered = true;
                loop.quit();
            });
            if (!delivered) {
                QTimer::singleShot(5000, &loop, &QEventLoop::quit);
                loop.exec();
            }
            QVERIFY(delivered);
        };
        for (int index = 0; index < count; ++index) {
            if (touchFirst && index == count - 1)
                load(u"k0"_s);
            load(u"k%1"_s.arg(index));
        }
        const int before = script.calls.load();
        QCOMPARE(before, count);
        load(probe);
        QCOMPARE(script.calls.load() > before, evicted);
    }

    void droppedRequests_data()
    {
        QTest::addColumn<bool>("beforeItsTurn");
        QTest::addColumn<bool>("anotherWaits");
        QTest::addColumn<int>("decodes");
        QTest::newRow("gone while decoding") << false << false << 2;
        QTest::newRow("gone before its turn: never decoded") << true << false << 1;
        QTest::newRow("a joined view still gets it") << true << true << 2;
    }
    void droppedRequests()
    {
        QFETCH(bool, beforeItsTurn);
        QFETCH(bool, anotherWaits);
        QFETCH(int, decodes);
        ScriptedDecoder script;
        script.gated = true;
        HistoryThumbnailCache cache(script.decoder());
        // Keeps the worker busy so that the next request has to wait its turn.
        Receiver busy;
        cache.request(u"busy"_s, sized(4, 4), busy.context.get(), busy.completion());
        QVERIFY(script.started.tryAcquire(1, 5000));
        if (!beforeItsTurn) {
            script.release.release();
            QTRY_COMPARE(busy.deliveries, 1);
        }

        auto gone = std::make_unique<Receiver>();
        Receiver other;
        cache.request(u"key"_s, sized(4, 4), gone->context.get(), gone->completion());
        if (anotherWaits)
            cache.request(u"key"_s, sized(4, 4), other.context.get(), other.completion());
        if (!beforeItsTurn)
            QVERIFY(script.started.tryAcquire(1, 5000));
        gone->context.reset();
        script.release.release(2);

        QTRY_COMPARE(script.calls.load(), decodes);
        if (anotherWaits)
            QTRY_COMPARE(other.deliveries, 1);
        QTRY_COMPARE(busy.deliveries, 1);
        QTest::qWait(50);
        QCOMPARE(gone->deliveries, 0);
        QCOMPARE(script.calls.load(), decodes);
    }

    // The preview loads at 4:3, then shows the first item's image (PNG before TIFF) in its shape, held
    // between 64 and 280 high unless its height is fixed, and names what it shows.
    void previews_data()
    {
        QTest::addColumn<ClipboardEntry>("entry");
        QTest::addColumn<std::optional<int>>("fixedHeight");
        QTest::addColumn<HistoryImagePreview::State>("state");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("height");
        using R = PasteboardRepresentation;
        const auto png = [](int width, int height) {
            return R{PasteboardType::png, picture({width, height}, "png")};
        };
        const auto tiff = [](int width, int height) {
            return R{PasteboardType::tiff, picture({width, height}, "tiff")};
        };
        const std::optional<int> none;
        const auto shown = HistoryImagePreview::State::thumbnail, failed = HistoryImagePreview::State::failed;
        const QString unshown = u"Image that could not be shown"_s;
        QTest::newRow("PNG") << imageEntry({{png(1200, 900)}}) << none << shown << u"1,200 × 900 pixels"_s
                             << 225;
        QTest::newRow("TIFF only") << imageEntry({{tiff(800, 200)}}) << none << shown << u"800 × 200 pixels"_s
                                   << 75;
        QTest::newRow("PNG preferred within an item")
            << imageEntry({{tiff(30, 20), png(60, 40)}}) << none << shown << u"60 × 40 pixels"_s << 200;
        QTest::newRow("first item with an image wins")
            << imageEntry({{R{PasteboardType::plainText, "x"}}, {tiff(30, 20)}, {png(60, 40)}}) << none
            << shown << u"30 × 20 pixels"_s << 200;
        QTest::newRow("at most 280") << imageEntry({{png(100, 100)}}) << none << shown
                                     << u"100 × 100 pixels"_s << 280;
        QTest::newRow("at least 64") << imageEntry({{png(1000, 100)}}) << none << shown
                                     << u"1,000 × 100 pixels"_s << 64;
        QTest::newRow("fixed height wins")
            << imageEntry({{png(100, 100)}}) << std::optional(52) << shown << u"100 × 100 pixels"_s << 52;
        QTest::newRow("undecodable") << imageEntry("not a png") << none << failed << unshown << 225;
        QTest::newRow("no image data") << makeEntry(u"text"_s, 1) << none << failed << unshown << 225;
    }
    void previews()
    {
        QFETCH(ClipboardEntry, entry);
        QFETCH(std::optional<int>, fixedHeight);
        QFETCH(HistoryImagePreview::State, state);
        QFETCH(QString, name);
        QFETCH(int, height);
        HistoryThumbnailCache cache;
        HistoryImagePreview preview(entry, fixedHeight, nullptr, &cache);
        if (preview.state() == HistoryImagePreview::State::loading) {
            QCOMPARE(preview.accessibleName(), u"Loading image"_s);
            QVERIFY(fixedHeight || preview.heightForWidth(300) == 225);
        }
        QTRY_COMPARE(preview.state(), state);
        QCOMPARE(preview.accessibleName(), name);
        if (fixedHeight) {
            QVERIFY(!preview.hasHeightForWidth());
            QCOMPARE(preview.minimumHeight(), height);
            QCOMPARE(preview.maximumHeight(), height);
        } else {
            QCOMPARE(preview.heightForWidth(300), height);
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&preview);
        QCOMPARE(accessible->childCount(), 0);
        QCOMPARE(accessible->role(), QAccessible::Graphic);
    }

    void thumbnailDrawnWithinPadding()
    {
        HistoryThumbnailCache cache;
        HistoryImagePreview preview(imageEntry(picture({400, 100}, "png")), std::nullopt, nullptr, &cache);
        QTRY_COMPARE(preview.state(), HistoryImagePreview::State::thumbnail);
        preview.resize(200, preview.heightForWidth(200));
        const QImage shot = preview.grab().toImage();
        const int middle = shot.height() / 2;
        QCOMPARE(shot.pixelColor(shot.width() / 2, middle), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(HistoryImagePreview::horizontalPadding + 1, middle), QColor(Qt::red));
        QVERIFY(shot.pixelColor(HistoryImagePreview::horizontalPadding - 2, middle) != QColor(Qt::red));
    }

    void previewThatMovedOnDropsTheOldResult()
    {
        ScriptedDecoder script;
        script.gated = true;
        HistoryThumbnailCache cache(script.decoder());
        HistoryImagePreview preview(imageEntry(sized(300, 100)), std::nullopt, nullptr, &cache);
        QVERIFY(script.started.tryAcquire(1, 5000));
        QSignalSpy changes(&preview, &HistoryImagePreview::stateChanged);
        preview.setEntry(imageEntry(sized(100, 200)));
        QCOMPARE(preview.state(), HistoryImagePreview::State::loading);
        script.release.release(2);
        QTRY_COMPARE(preview.state(), HistoryImagePreview::State::thumbnail);
        QTest::qWait(50);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(preview.thumbnail()->pixelSize, QSize(100, 200));
        QCOMPARE(preview.previewAspectRatio(), 0.5);
    }
};

QTEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
