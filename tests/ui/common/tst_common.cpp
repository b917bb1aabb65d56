#include "l10n/Localization.h"
#include "support/EncodedImage.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "ui/common/AppTheme.h"
#include "ui/common/ClipboardKindIcon.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/HistoryImagePreview.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/common/SourceApplicationIcon.h"
#include "ui/common/SourceApplicationIconCache.h"
#include "ui/common/Symbols.h"

#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>

using HistoryAppearance::Colour;
using namespace Qt::StringLiterals;

namespace {

// Stands in for the desktop switching its colour scheme, as after a platform theme change.
class PlatformSchemeStyle : public QProxyStyle {
public:
    explicit PlatformSchemeStyle(bool dark) : m_dark(dark) {}
    void polish(QPalette& palette) override
    {
        QProxyStyle::polish(palette);
        if (m_dark)
            palette = AppThemes::darkPalette();
    }
    using QProxyStyle::polish;

private:
    bool m_dark;
};

void simulatePlatformScheme(bool dark)
{
    QApplication::setStyle(new PlatformSchemeStyle(dark));
}

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

using Installed = QHash<QString, QString>;
using ByName = QHash<QString, QStringList>;
using Running = QList<RunningApplication>;

RunningApplication running(const QString& name, std::optional<QString> url, bool regular = true,
                           qint64 pid = 1)
{
    return RunningApplication{name, std::nullopt, pid, regular, std::move(url)};
}

QIcon filledIcon(const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

ClipboardEntry entryFrom(const std::optional<QString>& bundleIdentifier, const QString& name)
{
    ClipboardEntry entry = makeEntry(u"text"_s, 1, 0, name);
    entry.sourceBundleIdentifier = bundleIdentifier;
    return entry;
}

// Whether some pixel is clearly green, allowing for antialiased edges blended into the background.
bool containsGreen(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.green() - pixel.red() > 100 && pixel.green() - pixel.blue() > 100)
                return true;
        }
    }
    return false;
}

} // namespace

class TestCommon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_platformWindow = QGuiApplication::palette().color(QPalette::Window);
        QVERIFY2(!AppThemes::isDark(), "the offscreen platform is expected to start light");
        AppLocalization::shared().select(AppLanguage::english);
    }

    void cleanup()
    {
        simulatePlatformScheme(false);
        AppThemes::apply(AppTheme::system);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void storedTheme_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<AppTheme>("expected");
        QTest::newRow("absent") << QString() << AppTheme::system;
        QTest::newRow("dark") << QStringLiteral("dark") << AppTheme::dark;
        QTest::newRow("light") << QStringLiteral("light") << AppTheme::light;
        QTest::newRow("capitalised") << QStringLiteral("Dark") << AppTheme::system;
        QTest::newRow("unknown") << QStringLiteral("sepia") << AppTheme::system;
    }
    void storedTheme()
    {
        QFETCH(QString, stored);
        QFETCH(AppTheme, expected);
        QTemporaryDir folder;
        Preferences preferences(folder.filePath(QStringLiteral("Clipwell.conf")));
        if (!stored.isNull())
            preferences.setString(Preferences::Key::appTheme, stored);
        QCOMPARE(AppThemes::stored(preferences), expected);
        QCOMPARE(AppThemes::fromRawValue(AppThemes::rawValue(expected)), expected);
    }

    // The platform switches its scheme before or after the theme is applied; open windows follow
    // the chosen theme at once, and system follows the platform.
    void themeReachesOpenWindows_data()
    {
        addColumns<AppTheme, bool, bool, bool>("theme", "platformDark", "platformChangesLater", "dark");
        QTest::newRow("light") << AppTheme::light << false << false << false;
        QTest::newRow("dark") << AppTheme::dark << false << false << true;
        QTest::newRow("system") << AppTheme::system << false << false << false;
        QTest::newRow("system picks up a change made while forced")
            << AppTheme::system << true << false << true;
        QTest::newRow("system follows dark") << AppTheme::system << true << true << true;
        QTest::newRow("system follows light") << AppTheme::system << false << true << false;
        QTest::newRow("forced light ignores dark") << AppTheme::light << true << true << false;
        QTest::newRow("forced dark ignores light") << AppTheme::dark << false << true << true;
    }
    void themeReachesOpenWindows()
    {
        QFETCH(AppTheme, theme);
        QFETCH(bool, platformDark);
        QFETCH(bool, platformChangesLater);
        QFETCH(bool, dark);
        QWidget window;
        auto* child = new QWidget(&window);
        window.show();
        simulatePlatformScheme(!platformDark);
        AppThemes::apply(dark ? AppTheme::light : AppTheme::dark);
        if (!platformChangesLater)
            simulatePlatformScheme(platformDark);
        AppThemes::apply(theme);
        if (platformChangesLater) {
            simulatePlatformScheme(platformDark);
            QCoreApplication::processEvents();
        }

        QCOMPARE(AppThemes::isDark(), dark);
        QCOMPARE(AppThemes::isDark(child->palette()), dark);
        const QPalette forced = dark ? AppThemes::darkPalette() : AppThemes::lightPalette();
        for (Colour colour : {Colour::sidebar, Colour::card, Colour::selected})
            QCOMPARE(HistoryAppearance::resolve(colour, child), HistoryAppearance::resolve(colour, forced));
        if (theme == AppTheme::system && !dark)
            QCOMPARE(QGuiApplication::palette().color(QPalette::Window), m_platformWindow);
    }

    void keyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("space") << int(Qt::Key_Space) << 1;
        QTest::newRow("return") << int(Qt::Key_Return) << 1;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 1;
        QTest::newRow("letter") << int(Qt::Key_A) << 0;
    }
    // Keys activate; the button is a Tab stop only while it does something.
    void keyboard()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        HistoryButton button(HistoryButtonStyle::Kind::secondary, QStringLiteral("Open"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QAbstractButton::clicked);
        QTest::keyClick(&button, Qt::Key(key));
        QTest::qWait(350);
        QCOMPARE(clicked.count(), clicks);
        QCOMPARE(button.focusPolicy(), Qt::TabFocus);
        button.setEnabled(false);
        QCOMPARE(button.focusPolicy(), Qt::NoFocus);
    }

    void symbols_data()
    {
        QTest::addColumn<QString>("name");
        QStringList names = Symbols::names();
        for (const char* used : {"textformat.alt", "link", "photo", "doc", "square.grid.2x2",
                                 "magnifyingglass", "xmark.circle.fill", "gearshape", "trash", "checkmark",
                                 "exclamationmark.triangle", "doc.on.doc", "StatusBarIcon"})
            if (!names.contains(QLatin1StringView(used)))
                names.append(QLatin1StringView(used));
        for (const QString& name : std::as_const(names))
            QTest::newRow(qPrintable(name)) << name;
    }
    // Every symbol draws something at each size and scale, entirely in the tint, clear of the edges.
    void symbols()
    {
        QFETCH(QString, name);
        QVERIFY2(Symbols::exists(name), qPrintable(Symbols::resourcePath(name)));
        const QColor tint(0x12, 0x80, 0xF0);
        for (int size : {16, 24, 32}) {
            for (qreal ratio : {1.0, 2.0}) {
                const QImage image =
                    Symbols::image(name, size, ratio, tint).convertToFormat(QImage::Format_ARGB32);
                QCOMPARE(image.width(), qRound(size * ratio));
                QCOMPARE(image.devicePixelRatio(), ratio);
                int opaque = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        const QRgb pixel = image.pixel(x, y);
                        opaque += qAlpha(pixel) > 0;
                        if (x == 0 || y == 0 || x == image.width() - 1 || y == image.height() - 1)
                            QVERIFY2(qAlpha(pixel) < 64,
                                     qPrintable(QStringLiteral("clipped at %1,%2").arg(x).arg(y)));
                        if (qAlpha(pixel) == 255)
                            QCOMPARE(QColor(pixel), tint);
                    }
                }
                QVERIFY(opaque > image.width() * image.height() / 20);
            }
        }
        const QPixmap cached = Symbols::pixmap(name, 24, 1.0, tint);
        QCOMPARE(Symbols::pixmap(name, 24, 1.0, tint).cacheKey(), cached.cacheKey());
        QVERIFY(Symbols::pixmap(name, 24, 1.0, Qt::red).cacheKey() != cached.cacheKey());
        QVERIFY(Symbols::pixmap(name, 0, 1.0, tint).isNull());
        QVERIFY(Symbols::pixmap(name + u".unknown"_s, 16, 1.0, tint).isNull());
    }

    // The widget shows its kind's symbol, centred in a larger frame.
    void kindIcons_data()
    {
        QTest::addColumn<std::optional<ClipboardKind>>("kind");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("text") << std::optional(ClipboardKind::text) << QStringLiteral("textformat.alt");
        QTest::newRow("link") << std::optional(ClipboardKind::link) << QStringLiteral("link");
        QTest::newRow("image") << std::optional(ClipboardKind::image) << QStringLiteral("photo");
        QTest::newRow("file") << std::optional(ClipboardKind::file) << QStringLiteral("doc");
        QTest::newRow("all kinds") << std::optional<ClipboardKind>() << QStringLiteral("square.grid.2x2");
    }
    void kindIcons()
    {
        QFETCH(std::optional<ClipboardKind>, kind);
        QFETCH(QString, symbol);
        ClipboardKindIcon icon(kind, 11);
        icon.setColour(QColor(Qt::black));
        icon.setFixedSize(14, 14);
        icon.setAutoFillBackground(true);
        icon.setPalette(QPalette(Qt::white));
        QImage expected(14, 14, QImage::Format_RGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(1, 1, Symbols::image(symbol, 11, 1.0, Qt::black));
        QCOMPARE(icon.grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    }

    void decode_data()
    {
        addColumns<QByteArray, QSize, QSize>("data", "thumbnailSize", "pixelSize");
        QTest::newRow("wide PNG down to 960")
            << picture({2400, 1200}, "png") << QSize(960, 480) << QSize(2400, 1200);
        QTest::newRow("tall TIFF down to 960")
            << picture({1000, 2000}, "tiff") << QSize(480, 960) << QSize(1000, 2000);
        QTest::newRow("small image kept") << picture({300, 200}, "png") << QSize(300, 200) << QSize(300, 200);
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
        addColumns<QStringList, QByteArray, int, int>("keys", "data", "decodes", "decodesAfterALateRequest");
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
        addColumns<int, int, bool, QString, bool>("side", "count", "touchFirst", "probe", "evicted");
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
        addColumns<bool, bool, int>("beforeItsTurn", "anotherWaits", "decodes");
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
        addColumns<ClipboardEntry, std::optional<int>, HistoryImagePreview::State, QString, int>(
            "entry", "fixedHeight", "state", "name", "height");
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

    void previewThatMovedOnDropsTheOldResult()
    {
        ScriptedDecoder script;
        script.gated = true;
        HistoryThumbnailCache cache(script.decoder());
        HistoryImagePreview preview(imageEntry(sized(300, 100)), std::nullopt, nullptr, &cache);
        QVERIFY(script.started.tryAcquire(1, 5000));
        QSignalSpy changes(&preview, &HistoryImagePreview::stateChanged);
        preview.setEntry(imageEntry(sized(100, 200)));
        script.release.release(2);
        QTRY_COMPARE(preview.state(), HistoryImagePreview::State::thumbnail);
        QTest::qWait(50);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(preview.thumbnail()->pixelSize, QSize(100, 200));
    }

    // Every part of a row, its bottom line included, lies inside the rounded card: in the popup's fixed
    // rows and the list's sized ones, for every kind, with a title of one line or of two.
    void rowPartsStayInsideTheCard_data()
    {
        addColumns<int, ClipboardKind, QString>("layout", "kind", "title");
        for (const HistoryRowLayout layout : {HistoryRowLayout::history, HistoryRowLayout::quickPaste})
            for (const ClipboardKind kind : ClipboardKinds::allCases)
                for (const QString& title :
                     {u"git status"_s, u"Meeting notes: ship on Monday, "_s.repeated(4)})
                    QTest::addRow("%d %s %d", int(layout), qPrintable(ClipboardKinds::title(kind)),
                                  int(title.size()))
                        << int(layout) << kind << title;
    }
    void rowPartsStayInsideTheCard()
    {
        QFETCH(int, layout);
        QFETCH(ClipboardKind, kind);
        QFETCH(QString, title);
        const HistoryRowPainter painter{HistoryRowLayout(layout)};
        ClipboardEntry entry = makeEntry(title, 700000000, 0, u"Firefox"_s);
        entry.kind = kind;
        const QFont font = QApplication::font();
        const QRect card(16, 40, 428, painter.cardHeight(entry, 428, font));
        const HistoryRowPainter::Parts parts =
            painter.arrange({entry, false, false, false, {}, std::nullopt, Timestamp{700000090}}, card, font);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(card), HistoryRowPainter::cornerRadius, HistoryRowPainter::cornerRadius);
        for (const QRect& part : parts.titleLineRects + QList{parts.sourceIcon, parts.sourceNameRect,
                                                              parts.kindIcon, parts.timeRect})
            QVERIFY2(shape.contains(QRectF(part)), qPrintable(u"%1,%2 %3x%4 in %5 high"_s.arg(part.x())
                                                                  .arg(part.y())
                                                                  .arg(part.width())
                                                                  .arg(part.height())
                                                                  .arg(card.height())));
    }

    void applicationURL_data()
    {
        addColumns<std::optional<QString>, QString, Installed, Running, ByName, std::optional<QString>, int,
                   int>("bundleIdentifier", "name", "installed", "runningApplications", "byName", "expected",
                        "scans", "probes");
        const std::optional<QString> none;
        const auto url = [](const char* path) { return std::optional<QString>(QString::fromUtf8(path)); };
        const Installed alpha{{u"org.alpha"_s, u"/alpha.desktop"_s}};
        const Running twoAlphas{running(u"Alpha"_s, u"/a1"_s), running(u"Alpha"_s, u"/a2"_s)};
        const ByName oneAlpha{{u"Alpha"_s, {u"/installed-alpha"_s}}};

        QTest::newRow("the identifier first, names never consulted")
            << url("org.alpha") << u"Alpha"_s << alpha << twoAlphas << oneAlpha << url("/alpha.desktop") << 0
            << 0;
        QTest::newRow("unknown identifier: one running application by name")
            << url("org.unknown") << u"Alpha"_s << alpha << Running{running(u"Alpha"_s, u"/a1"_s)} << ByName()
            << url("/a1") << 1 << 0;
        QTest::newRow("an empty identifier is no identifier")
            << url("") << u"Alpha"_s << Installed{{QString(), u"/empty"_s}}
            << Running{running(u"Alpha"_s, u"/a1"_s)} << ByName() << url("/a1") << 1 << 0;
        QTest::newRow("the unknown-application placeholder")
            << none << u"其他应用"_s << Installed() << Running{running(u"其他应用"_s, u"/x"_s)}
            << ByName{{u"其他应用"_s, {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("no name") << none << QString() << Installed() << Running{running(QString(), u"/x"_s)}
                                 << ByName{{QString(), {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("a path, not a name")
            << none << u"bin/tool"_s << Installed() << Running{running(u"bin/tool"_s, u"/x"_s)}
            << ByName{{u"bin/tool"_s, {u"/x"_s}}} << none << 0 << 0;
        QTest::newRow("several processes of one application")
            << none << u"Alpha"_s << Installed()
            << Running{running(u"Alpha"_s, u"/a1"_s, true, 1), running(u"Alpha"_s, u"/a1"_s, true, 2)}
            << oneAlpha << url("/a1") << 1 << 0;
        QTest::newRow("two running applications of that name: ambiguous, no folder probe")
            << none << u"Alpha"_s << Installed() << twoAlphas << oneAlpha << none << 1 << 0;
        QTest::newRow("nothing regular running: the folders")
            << none << u"Alpha"_s << Installed()
            << Running{running(u"Alpha"_s, u"/a1"_s, false), running(u"Alpha"_s, none),
                       running(u"Beta"_s, u"/b"_s)}
            << oneAlpha << url("/installed-alpha") << 1 << 1;
        QTest::newRow("two installed of that name: ambiguous")
            << none << u"Alpha"_s << Installed() << Running()
            << ByName{{u"Alpha"_s, {u"/installed-alpha"_s, u"/other-alpha"_s}}} << none << 1 << 1;
        QTest::newRow("not found anywhere")
            << none << u"Alpha"_s << Installed() << Running() << ByName() << none << 1 << 1;
    }
    void applicationURL()
    {
        QFETCH(std::optional<QString>, bundleIdentifier);
        QFETCH(QString, name);
        QFETCH(Installed, installed);
        QFETCH(Running, runningApplications);
        QFETCH(ByName, byName);
        QFETCH(std::optional<QString>, expected);
        QFETCH(int, scans);
        QFETCH(int, probes);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = installed;
        workspace.running = runningApplications;
        workspace.installedByName = byName;
        const SourceApplicationIconCache cache(workspace);
        QCOMPARE(cache.applicationURL({bundleIdentifier, name}), expected);
        QCOMPARE(workspace.runningApplicationScans, scans);
        QCOMPARE(workspace.folderProbes, probes);
    }

    // An application's icon is loaded once, also when it has none, and kept while 127 others follow.
    void icon_data()
    {
        addColumns<int, QString, bool, int>("others", "identifier", "hasIcon", "loads");
        QTest::newRow("found and loaded once") << 0 << u"org.painted"_s << true << 1;
        QTest::newRow("an application without an icon is asked once") << 0 << u"org.plain"_s << false << 1;
        QTest::newRow("unresolved: no icon to load") << 0 << u"org.unknown"_s << false << 0;
        QTest::newRow("128 kept") << 127 << u"org.painted"_s << true << 128;
        QTest::newRow("the 129th pushes the first out") << 128 << u"org.painted"_s << true << 130;
    }
    void icon()
    {
        QFETCH(int, others);
        QFETCH(QString, identifier);
        QFETCH(bool, hasIcon);
        QFETCH(int, loads);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = {{u"org.painted"_s, u"/painted"_s}, {u"org.plain"_s, u"/plain"_s}};
        workspace.icons = {{u"/painted"_s, filledIcon(Qt::red)}};
        SourceApplicationIconCache cache(workspace);
        for (int call = 0; call < 3; ++call) {
            const std::optional<QIcon> icon = cache.icon({identifier, u"Name"_s});
            QCOMPARE(icon.has_value(), hasIcon);
            QVERIFY(!icon || icon->pixmap(QSize(8, 8), 1.0).toImage().pixelColor(4, 4) == QColor(Qt::red));
            for (int index = 0; call == 0 && index < others; ++index) {
                workspace.installedByIdentifier.insert(u"id%1"_s.arg(index), u"/app%1"_s.arg(index));
                cache.icon({u"id%1"_s.arg(index), QString()});
            }
        }
        QCOMPARE(workspace.iconLoads, loads);
    }

    void view_data()
    {
        addColumns<std::optional<QString>, bool, bool>("bundleIdentifier", "installCache", "applicationIcon");
        QTest::newRow("the application's icon") << std::optional<QString>(u"org.painted"_s) << true << true;
        QTest::newRow("unknown application: the kind symbol")
            << std::optional<QString>(u"org.unknown"_s) << true << false;
        QTest::newRow("no cache installed: the kind symbol")
            << std::optional<QString>(u"org.painted"_s) << false << false;
    }
    void view()
    {
        QFETCH(std::optional<QString>, bundleIdentifier);
        QFETCH(bool, installCache);
        QFETCH(bool, applicationIcon);
        FakeWorkspace workspace;
        workspace.installedByIdentifier = {{u"org.painted"_s, u"/painted"_s}};
        workspace.icons = {{u"/painted"_s, filledIcon(Qt::red)}};
        SourceApplicationIconCache cache(workspace);
        SourceApplicationIconCache::setShared(installCache ? &cache : nullptr);

        SourceApplicationIcon icon(entryFrom(bundleIdentifier, u"Painter"_s));
        icon.setColour(QColor(Qt::green));
        if (applicationIcon) {
            QSignalSpy changed(&icon, &SourceApplicationIcon::iconChanged);
            QVERIFY(changed.wait(2000));
        } else {
            QTest::qWait(20);
        }
        QCOMPARE(icon.icon().has_value(), applicationIcon);
        const QImage shot = icon.grab().toImage();
        QCOMPARE(shot.pixelColor(7, 7) == QColor(Qt::red), applicationIcon);
        QCOMPARE(containsGreen(shot), !applicationIcon);
        QVERIFY(QAccessible::queryAccessibleInterface(&icon)->state().invisible);
        // Reused for an entry of an unknown application, it drops the icon.
        icon.setEntry(entryFrom(std::nullopt, u"其他应用"_s));
        QVERIFY(!icon.icon().has_value());
        SourceApplicationIconCache::setShared(nullptr);
    }

private:
    QColor m_platformWindow;
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
