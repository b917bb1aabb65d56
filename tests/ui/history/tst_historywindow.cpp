#include "l10n/Localization.h"
#include "support/UiHarness.h"
#include "ui/common/HistoryButton.h"
#include "ui/detail/DetailView.h"
#include "ui/history/HistoryHeading.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/HistorySplitController.h"
#include "ui/history/MainWindowController.h"
#include "ui/history/WindowContentController.h"
#include "ui/history/WindowTitleLabel.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleHints>

using namespace Qt::StringLiterals;

namespace {

const Preferences::Key widthKey = Preferences::Key::historySidebarWidth;

struct Harness : ModelHome {
    std::unique_ptr<MainWindowController> controller;

    explicit Harness(std::optional<double> storedWidth = std::nullopt,
                     const QList<ClipboardEntry>& entries = {})
        : ModelHome(entries)
    {
        if (storedWidth)
            preferences.setDouble(widthKey, *storedWidth);
        rebuild();
    }

    void rebuild()
    {
        controller =
            std::make_unique<MainWindowController>(*model, preferences, new DetailView(*model), [] {});
    }

    QMainWindow* window() const { return controller->window(); }
    HistorySplitController* split() const { return controller->splitController(); }
    HistorySidebar* sidebar() const { return qobject_cast<HistorySidebar*>(split()->sidebar()); }

    // Drags the divider by dx as a user would.
    void dragDivider(int dx) const
    {
        QWidget* divider = split()->divider();
        const QPoint centre = divider->rect().center();
        QTest::mousePress(divider, Qt::LeftButton, {}, centre);
        QTest::mouseMove(divider, centre + QPoint(dx, 0));
        QTest::mouseRelease(divider, Qt::LeftButton, {}, centre + QPoint(dx, 0));
    }
};

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        AppLocalization::shared().select(AppLanguage::english);
    }

    void storedWidthIsClampedAndNotRewrittenByTheFirstLayout_data()
    {
        QTest::addColumn<std::optional<double>>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << std::optional<double>() << 420;
        QTest::newRow("zero") << std::optional<double>(0) << 420;
        QTest::newRow("negative") << std::optional<double>(-50) << 420;
        QTest::newRow("too wide") << std::optional<double>(600) << 520;
        QTest::newRow("too narrow") << std::optional<double>(100) << 280;
        QTest::newRow("in range") << std::optional<double>(333.4) << 333;
    }

    // The divider can be grabbed within 6 px of its line on the sidebar's side, 5 on the detail's.
    void storedWidthIsClampedAndNotRewrittenByTheFirstLayout()
    {
        QFETCH(std::optional<double>, stored);
        QFETCH(int, expected);
        Harness h(stored);
        h.window()->resize(1100, 700);
        h.controller->present();
        QCoreApplication::processEvents();
        QCOMPARE(h.split()->sidebarWidth(), expected);
        QCOMPARE(h.preferences.contains(Preferences::keyName(widthKey)), stored.has_value());
        QCOMPARE(h.preferences.doubleValue(widthKey), stored.value_or(0));
        for (const auto& [offset, grabs] :
             {std::pair(0, true), {-6, true}, {5, true}, {-7, false}, {6, false}})
            QCOMPARE(h.split()->childAt(expected + offset, 300) == h.split()->divider(), grabs);
    }

    // Closing hides the same window with its state; only widths the user sets while it shows are saved.
    void closingKeepsTheWindowAndOnlyVisibleChangesAreSaved()
    {
        Harness h(500);
        h.window()->resize(1100, 700);
        h.controller->present();
        h.model->setQuery(u"a"_s);
        QPointer<QMainWindow> window = h.window();
        QVERIFY(!window->close());
        QVERIFY(window && window->isHidden());
        h.controller->present();
        QCOMPARE(h.window(), window.data());
        QCOMPARE(h.model->query(), u"a"_s);
        QCOMPARE(h.split()->sidebarWidth(), 500);

        // Narrowed while hidden, the sidebar gives way, but the user's width stays stored.
        window->close();
        window->resize(760, 600);
        h.controller->present();
        QCOMPARE(h.split()->sidebarWidth(), 760 - 1 - 360);
        QCOMPARE(h.preferences.doubleValue(widthKey), 500.0);
        h.dragDivider(-60);
        QCOMPARE(h.split()->sidebarWidth(), 339);
        QCOMPARE(h.preferences.doubleValue(widthKey), 339.0);
    }

    void storedWidthIsAppliedOnceThereIsRoomAndOnlyOnce()
    {
        Harness h(450);
        QWidget host;
        HistorySplitController split(new QWidget, new QWidget, h.preferences, &host);
        host.resize(1300, 500);
        host.show();
        split.setGeometry(0, 0, 600, 400);
        QVERIFY(!split.initialWidthApplied());
        split.setGeometry(0, 0, 1000, 400);
        QVERIFY(split.initialWidthApplied());
        QCOMPARE(split.sidebarWidth(), 450);

        h.preferences.setDouble(widthKey, 300);
        split.setGeometry(0, 0, 1200, 400);
        QCOMPARE(split.sidebarWidth(), 450);
    }

    void headingFitsTheNarrowestSidebar_data()
    {
        QTest::addColumn<AppLanguage>("language");
        QTest::newRow("English") << AppLanguage::english;
        QTest::newRow("Simplified Chinese") << AppLanguage::simplifiedChinese;
        QTest::newRow("Traditional Chinese") << AppLanguage::traditionalChinese;
    }
    void headingFitsTheNarrowestSidebar()
    {
        QFETCH(AppLanguage, language);
        AppLocalization::shared().select(language);
        Harness h(1);
        h.controller->present();
        QCOMPARE(h.split()->sidebarWidth(), HistorySplitController::sidebarMinimumWidth);
        const HistoryHeading* heading = h.sidebar()->heading();
        const QString shown = heading->shownText();
        const int shownWidth = QFontMetrics(heading->shownFont()).horizontalAdvance(shown);
        AppLocalization::shared().select(AppLanguage::english);
        QVERIFY(heading->geometry().right() < h.sidebar()->settingsButton()->geometry().left());
        QVERIFY2(shownWidth <= heading->contentsRect().width(), qPrintable(shown));
        QVERIFY(!shown.isEmpty());
    }

    // Each Tab stop, in turn, draws something that goes away when it loses the focus.
    void everyTabStopShowsItsFocus_data()
    {
        QTest::addColumn<ClipboardEntry>("shown");
        QTest::newRow("text") << makeEntry(u"hello"_s, 100);
        QTest::newRow("files") << fileEntry({u"/tmp/report.pdf"_s});
    }
    void everyTabStopShowsItsFocus()
    {
        QFETCH(ClipboardEntry, shown);
        Harness h(std::nullopt, {shown, makeEntry(u"world"_s, 1)});
        QVERIFY(h.load());
        // A steady text cursor, so a grab never falls between two blinks.
        QGuiApplication::styleHints()->setCursorFlashTime(0);
        h.controller->present();
        if (!QTest::qWaitForWindowActive(h.window()))
            QSKIP("keyboard focus needs an active window, which this display does not grant");
        QWidget* first = QApplication::focusWidget();
        QVERIFY(first);
        QStringList unmarked;
        QWidget* stop = first;
        for (int stops = 0; stops < 20; ++stops) {
            const QImage focused = h.window()->grab().toImage();
            stop->clearFocus();
            if (h.window()->grab().toImage() == focused)
                unmarked.append(QString::fromLatin1(stop->metaObject()->className()));
            stop->setFocus(Qt::TabFocusReason);
            QTest::keyClick(stop, Qt::Key_Tab);
            stop = QApplication::focusWidget();
            if (!stop || stop == first)
                break;
        }
        QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(u", ")));
    }

    // The first frame fits a screen smaller than the default one (offscreen gives 800x600) and keeps
    // its minimum; a frame the user sets is restored.
    void frame()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        Harness h;
        QVERIFY(available.width() >= 1080 || available.height() >= 810 ||
                h.window()->size() == available.size());
        QVERIFY(available.contains(h.window()->frameGeometry()));
        h.controller->present();
        h.window()->resize(300, 200);
        QCOMPARE(h.window()->size(), QSize(760, 520));

        const QRect frame(12, 24, 770, 530);
        h.window()->setGeometry(frame);
        h.window()->hide();
        h.rebuild();
        QCOMPARE(h.window()->geometry(), frame);
        h.controller->present();
        QCOMPARE(h.window()->geometry(), frame);
    }

    void menuBarSitsInTheStripAndReplacesThePreviousOne()
    {
        Harness h;
        h.controller->present();
        WindowContentController* content = h.controller->contentController();
        QVERIFY(!content->titleLabel()->isVisible());

        QPointer<QMenuBar> first = new QMenuBar;
        h.controller->setMenuBar(first);
        QPointer<QMenuBar> second = new QMenuBar;
        second->addMenu(u"Edit"_s);
        h.controller->setMenuBar(second);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QCOMPARE(content->menuBar(), second.data());
        QVERIFY(second->isVisible());
        QCOMPARE(second->parentWidget(), content->titleStrip());
        QVERIFY(qAbs(second->geometry().center().y() - content->titleStrip()->height() / 2) <= 1);

        h.controller->setMenuBar(nullptr);
        QVERIFY(!second->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(second.isNull());
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
