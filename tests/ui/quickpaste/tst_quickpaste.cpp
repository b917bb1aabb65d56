#include "l10n/Localization.h"
#include "support/EntryBuilder.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ReducedMotion.h"
#include "ui/quickpaste/PopupModel.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteList.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QtTest>

namespace {

QList<ClipboardEntry> entries(int texts, int images = 0)
{
    QList<ClipboardEntry> list;
    for (int index = 0; index < images + texts; ++index) {
        ClipboardEntry entry = makeEntry(QStringLiteral("entry %1").arg(index), 100 - index);
        if (index < images)
            entry.kind = ClipboardKind::image;
        list.append(entry);
    }
    return list;
}

} // namespace

class TestQuickPaste : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void placement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QList<ClipboardEntry>>("candidates");
        QTest::addColumn<QRect>("expected");
        const QRect screen(0, 0, 1000, 800);
        QTest::newRow("empty history") << screen << entries(0) << QRect(270, 330, 460, 140);
        QTest::newRow("one image") << screen << entries(0, 1) << QRect(270, 262, 460, 276);
        QTest::newRow("two texts") << screen << entries(2) << QRect(270, 261, 460, 278);
        QTest::newRow("one image, five texts") << screen << entries(5, 1) << QRect(270, 73, 460, 654);
        QTest::newRow("twenty texts") << screen << entries(20) << QRect(270, 73, 460, 654);
        QTest::newRow("second screen")
            << QRect(1000, 30, 1000, 800) << entries(3) << QRect(1270, 244, 460, 372);
        QTest::newRow("short screen") << QRect(0, 0, 1000, 500) << entries(20) << QRect(270, 20, 460, 460);
        QTest::newRow("narrow screen") << QRect(0, 0, 300, 800) << entries(1) << QRect(20, 308, 260, 184);
        QTest::newRow("too low") << QRect(0, 0, 1000, 80) << entries(1) << QRect();
        QTest::newRow("too narrow") << QRect(0, 0, 80, 800) << entries(1) << QRect();
    }

    void placement()
    {
        QFETCH(QRect, available);
        QFETCH(QList<ClipboardEntry>, candidates);
        QFETCH(QRect, expected);
        QCOMPARE(QuickPasteLayout::frame(available, candidates).value_or(QRect()), expected);
    }

    // A single step springs the highlight over from the row it leaves; a wrap, or any step under
    // reduced motion, puts it on the new row at once.
    void highlight_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("reduced");
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("step forward") << 0 << 1 << false << false;
        QTest::newRow("step back") << 3 << 2 << false << false;
        QTest::newRow("wrap to the first") << 5 << 0 << false << true;
        QTest::newRow("wrap to the last") << 0 << 5 << false << true;
        QTest::newRow("step under reduced motion") << 0 << 1 << true << true;
    }

    void highlight()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, reduced);
        QFETCH(bool, atOnce);
        ReducedMotion::shared().setReduced(reduced);
        PopupModel model;
        QuickPasteSession session = QuickPasteSession::over(entries(6));
        session.selectedIndex = from;
        model.setSession(session);
        QuickPasteView view(model);
        view.resize(QuickPasteLayout::width, QuickPasteLayout::height(session.candidates));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        session.selectedIndex = to;
        model.setSession(session);
        const QuickPasteList& list = view.list();
        // The plate's edge where a smaller, unselected row leaves the background bare.
        const QPoint probe = list.viewport()->mapTo(&view, QPoint(20, list.visualRect(to).center().y()));
        const QColor shown = view.grab().toImage().pixelColor(probe);
        ReducedMotion::shared().setReduced(false);
        QCOMPARE(shown == HistoryAppearance::resolve(HistoryAppearance::Colour::selected, view.palette()),
                 atOnce);
    }

    void keepsTheSelectionInView()
    {
        PopupModel model;
        QuickPasteSession session = QuickPasteSession::over(entries(20));
        model.setSession(session);
        QuickPasteView view(model);
        view.resize(QuickPasteLayout::width, QuickPasteLayout::height(session.candidates));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QuickPasteList& list = view.list();
        for (const int step : {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}) {
            session.triggerDown(QuickPasteSession::Direction(step), false);
            model.setSession(session);
            QVERIFY2(list.viewport()->rect().contains(list.visualRect(int(session.selectedIndex))),
                     qPrintable(QString::number(session.selectedIndex)));
        }
        // The wrap from the first row to the last.
        session.triggerDown(QuickPasteSession::Direction::previous, false);
        model.setSession(session);
        QVERIFY(list.viewport()->rect().contains(list.visualRect(19)));
    }

    void accessibleNameFollowsSelectionAndLanguage()
    {
        PopupModel model;
        QuickPasteView view(model);
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(view.accessibleName(), QStringLiteral("Quick Paste"));
        QuickPasteSession session = QuickPasteSession::over(entries(3));
        session.selectedIndex = 2;
        model.setSession(session);
        QCOMPARE(view.accessibleName(), QStringLiteral("Quick paste: entry 2"));
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        QCOMPARE(view.accessibleName(), QStringLiteral("快速貼上：entry 2"));
        AppLocalization::shared().select(AppLanguage::english);
    }

    void desktopMotionSetting_data()
    {
        QTest::addColumn<bool>("kde");
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<bool>>("reduced");
        QTest::newRow("KDE animations off") << true << "[General]\nName=x\n[KDE]\nAnimationDurationFactor=0\n"
                                            << std::optional(true);
        QTest::newRow("KDE slower") << true << "[KDE]\nAnimationDurationFactor = 0.5\n"
                                    << std::optional(false);
        QTest::newRow("KDE, another group") << true << "[KDE Effects]\nAnimationDurationFactor=0\n"
                                            << std::optional<bool>();
        QTest::newRow("KDE, similar key") << true << "[KDE]\nAnimationDurationFactorX=0\n"
                                          << std::optional<bool>();
        QTest::newRow("GNOME animations off") << false << "false\n" << std::optional(true);
        QTest::newRow("GNOME animations on") << false << "true\n" << std::optional(false);
        QTest::newRow("GNOME, no schema") << false << "" << std::optional<bool>();
    }

    void desktopMotionSetting()
    {
        QFETCH(bool, kde);
        QFETCH(QString, text);
        QFETCH(std::optional<bool>, reduced);
        QCOMPARE(kde ? ReducedMotion::fromKdeGlobals(text) : ReducedMotion::fromGSettings(text), reduced);
    }
};

QTEST_MAIN(TestQuickPaste)
#include "tst_quickpaste.moc"
