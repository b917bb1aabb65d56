#include "l10n/Localization.h"
#include "support/FakePopupSurface.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ReducedMotion.h"
#include "ui/quickpaste/LayerShellQuickPastePopup.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteList.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QPainter>
#include <QScreen>
#include <QtTest>

// The popup drawn into frames for a layer surface, which the test acknowledges as a compositor would.
class TestLayerShellPopup : public QObject {
    Q_OBJECT

    enum class Change { selection, theme, language, scale };
    FakePopupSurface m_surface;
    std::unique_ptr<LayerShellQuickPastePopup> m_popup;
    QuickPasteSession m_session;

    // New candidates, or with count -1 the same ones with another selection.
    void show(qsizetype selected, int count = -1)
    {
        if (count >= 0) {
            QList<ClipboardEntry> list;
            for (int index = 0; index < count; ++index)
                list.append(makeEntry(QStringLiteral("entry %1").arg(index), 100 - index));
            m_session = QuickPasteSession::over(list);
        }
        m_session.selectedIndex = selected;
        m_popup->show(m_session, QStringLiteral("Editor"));
    }

    // Acknowledges frames until three rounds of events bring none (or twenty rounds passed).
    void settle()
    {
        for (int quiet = 0, round = 0; quiet < 3 && round < 20; ++round) {
            const qsizetype drawn = m_surface.frames.size();
            m_surface.onFrameDone();
            QCoreApplication::processEvents();
            quiet = m_surface.frames.size() == drawn ? quiet + 1 : 0;
        }
    }

private Q_SLOTS:
    void init()
    {
        // As at start-up, the interface language is in place before a popup exists.
        AppLocalization::shared();
        QCoreApplication::processEvents();
        m_surface = FakePopupSurface();
        m_popup = std::make_unique<LayerShellQuickPastePopup>(m_surface);
    }

    void cleanup()
    {
        m_popup.reset();
        ReducedMotion::shared().setReduced(false);
        AppThemes::apply(AppTheme::light);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void appearsWithOneFrameAtTheSurfaceScale_data()
    {
        addColumns<int, QSize, int>("scale", "available", "rows");
        QTest::newRow("two rows") << 1 << QSize(1000, 800) << 2;
        QTest::newRow("twenty rows at scale 2") << 2 << QSize(1000, 800) << 20;
        QTest::newRow("empty history at scale 3") << 3 << QSize(1920, 1080) << 0;
        QTest::newRow("output not known yet") << 1 << QSize() << 6;
    }

    void appearsWithOneFrameAtTheSurfaceScale()
    {
        QFETCH(int, scale);
        QFETCH(QSize, available);
        QFETCH(int, rows);
        m_surface.currentScale = scale;
        m_surface.available = available;
        show(0, rows);
        QCOMPARE(m_surface.frames.size(), 1);
        const QRect expected = *QuickPasteLayout::frame(
            QRect(QPoint(),
                  available.isEmpty() ? QGuiApplication::primaryScreen()->availableSize() : available),
            m_session.candidates);
        QCOMPARE(m_popup->eventFrame(), QRectF(expected));
        const QImage frame = m_surface.frames.first();
        QCOMPARE(frame.size(), expected.size() * scale);
        QCOMPARE(frame.devicePixelRatio(), qreal(scale));
        QCOMPARE(frame.format(), QImage::Format_ARGB32_Premultiplied);
        // The rounded corner shows what lies behind; the middle is opaque.
        QCOMPARE(frame.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(frame.pixelColor(frame.rect().center()).alpha(), 255);
        // Nothing changed since: the compositor's go-ahead brings no second frame.
        settle();
        QCOMPARE(m_surface.frames.size(), 1);
    }

    void changesDrawAFrameWhenTheCompositorIsReady_data()
    {
        QTest::addColumn<Change>("change");
        QTest::newRow("selection moved") << Change::selection;
        QTest::newRow("dark theme") << Change::theme;
        QTest::newRow("Chinese") << Change::language;
        QTest::newRow("scale 2") << Change::scale;
    }

    void changesDrawAFrameWhenTheCompositorIsReady()
    {
        QFETCH(Change, change);
        ReducedMotion::shared().setReduced(true);
        show(0, 6);
        if (change == Change::selection) {
            show(1);
        } else if (change == Change::theme) {
            AppThemes::apply(AppTheme::dark);
        } else if (change == Change::language) {
            AppLocalization::shared().select(AppLanguage::simplifiedChinese);
        } else {
            m_surface.currentScale = 2;
            m_surface.onScaleChanged();
        }
        QCoreApplication::processEvents();
        // The first frame is not acknowledged yet.
        QCOMPARE(m_surface.frames.size(), 1);
        m_surface.onFrameDone();
        QTRY_COMPARE(m_surface.frames.size(), 2);
        const QImage& before = m_surface.frames[0];
        const QImage& after = m_surface.frames[1];
        QCOMPARE(after.devicePixelRatio(), change == Change::scale ? 2.0 : 1.0);
        QCOMPARE(after.size(), before.size() * int(after.devicePixelRatio()));
        QVERIFY(after != before);
        // Left of the row, where an unselected plate, drawn smaller, leaves the background bare.
        const QuickPasteList& list = m_popup->panel().list();
        const QPoint probe =
            list.viewport()->mapTo(&m_popup->panel(), QPoint(20, list.visualRect(1).center().y()));
        QCOMPARE(
            after.pixelColor(probe * after.devicePixelRatio()) ==
                HistoryAppearance::resolve(HistoryAppearance::Colour::selected, m_popup->panel().palette()),
            change == Change::selection);
        // The header's background.
        QCOMPARE(after.pixelColor(QPoint(10, 22) * after.devicePixelRatio()).lightness() < 128,
                 change == Change::theme);
    }

    // The highlight springs over in frames paced by the compositor, ends where a popup shown at once
    // on that row stands, then nothing is drawn until something changes.
    void motionEndsOnTheSettledPictureThenIdles()
    {
        show(0, 6);
        FakePopupSurface settledSurface;
        LayerShellQuickPastePopup settled(settledSurface);
        QuickPasteSession atOnce = m_session;
        atOnce.selectedIndex = 1;
        // Drawn afresh each time: text drawn at the motion's scales leaves Qt's glyph caches changed
        // down to the last antialiased pixel.
        const auto settledNow = [&] {
            settled.hide();
            settled.show(atOnce, QStringLiteral("Editor"));
            return settledSurface.frames.last();
        };
        show(1);
        QTRY_VERIFY((m_surface.onFrameDone(), m_surface.frames.last() == settledNow()));
        QVERIFY(m_surface.frames.size() > 3);
        const qsizetype drawn = m_surface.frames.size();
        settle();
        QCOMPARE(m_surface.frames.size(), drawn);
    }

    // Pixmaps too are made for the surface's scale: a thumbnail of one-pixel stripes keeps them apart
    // at scale 2, where one made for scale 1 and blown up would show a grey blur.
    void thumbnailsAreDrawnAtTheSurfaceScale()
    {
        HistoryThumbnailCache stripes([](const QByteArray&) {
            QImage image(400, 300, QImage::Format_RGB32);
            for (int x = 0; x < image.width(); ++x)
                QPainter(&image).fillRect(x, 0, 1, image.height(), x % 2 ? Qt::white : Qt::black);
            return std::optional(HistoryThumbnail{image, image.size()});
        });
        LayerShellQuickPastePopup popup(m_surface, &stripes);
        m_surface.currentScale = 2;
        const ClipboardEntry image = imageEntry(QByteArray("png"));
        popup.show(QuickPasteSession::over({image}), QString());
        bool decoded = false;
        stripes.request(image.fingerprint, {}, this, [&decoded](auto) { decoded = true; });
        QTRY_VERIFY(decoded);
        settle();
        const QuickPasteList& list = popup.panel().list();
        const QPoint centre = list.viewport()->mapTo(&popup.panel(), list.visualRect(0).center()) * 2;
        const QImage& frame = m_surface.frames.last();
        QVERIFY(std::abs(frame.pixelColor(centre).lightness() -
                         frame.pixelColor(centre + QPoint(1, 0)).lightness()) > 150);
    }

    void hidingUnmapsAndStopsFrames()
    {
        show(0, 6);
        show(1);
        QCoreApplication::processEvents();
        m_popup->hide();
        QVERIFY(!m_surface.mapped);
        QVERIFY(!m_popup->eventFrame());
        // The next chord appears at once although the last frame was never acknowledged.
        show(2, 3);
        QCOMPARE(m_surface.frames.size(), 2);
        show(1);
        QCoreApplication::processEvents();
        m_popup->hide();
        settle();
        QCOMPARE(m_surface.frames.size(), 2);
    }
};

QTEST_MAIN(TestLayerShellPopup)
#include "tst_layershellpopup.moc"
