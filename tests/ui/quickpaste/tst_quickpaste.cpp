#include "l10n/Localization.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "support/x11/WindowManager.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/ReducedMotion.h"
#include "ui/quickpaste/QuickPasteLayout.h"
#include "ui/quickpaste/QuickPasteList.h"
#include "ui/quickpaste/QuickPastePanelController.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>
#include <xcb/xcb.h>

namespace {

QList<ClipboardEntry> entries(int texts, int images = 0)
{
    QList<ClipboardEntry> list;
    for (int index = 0; index < images + texts; ++index)
        list.append(withKind(makeEntry(QStringLiteral("entry %1").arg(index), 100 - index),
                             index < images ? ClipboardKind::image : ClipboardKind::text));
    return list;
}

void xdotool(const QString& arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments.split(u' '));
}

} // namespace

// The popup on a display with a window manager and two monitors side by side, while another
// program's window has the keyboard focus and must keep it.
class TestQuickPaste : public QObject {
    Q_OBJECT

    xcb_connection_t* m_x = xcb_connect(nullptr, nullptr);
    QProcess m_windowManager;
    QProcess m_target;
    std::unique_ptr<QuickPastePanelController> m_popup;
    QuickPasteSession m_session;
    QList<QUuid> m_selected;

    QuickPasteView& shown(const QList<ClipboardEntry>& candidates, qsizetype selected,
                          QPoint pointer = {320, 400})
    {
        xdotool(QStringLiteral("mousemove %1 %2").arg(pointer.x()).arg(pointer.y()));
        m_session = QuickPasteSession::over(candidates);
        m_session.selectedIndex = selected;
        m_popup->show(m_session, QStringLiteral("Editor"));
        return m_popup->panel();
    }

    // The input focus and _NET_ACTIVE_WINDOW.
    QList<quint32> focus()
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data->root;
        auto* atom = xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
        auto* active = xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        auto* input = xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr);
        const QList<quint32> both{*static_cast<quint32*>(xcb_get_property_value(active)), input->focus};
        for (void* reply : {static_cast<void*>(atom), static_cast<void*>(active), static_cast<void*>(input)})
            std::free(reply);
        return both;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QVERIFY(startWindowManager(m_windowManager));
        m_target.start(QStringLiteral(TEST_KEY_TARGET), {});
        QVERIFY(m_target.waitForReadyRead(20000) && m_target.readLine() == "ready\n");
        m_popup = std::make_unique<QuickPastePanelController>();
        m_popup->onSelect = [this](const QUuid& id) { m_selected.append(id); };
    }

    void cleanupTestCase()
    {
        m_popup.reset();
        m_target.kill();
        m_windowManager.kill();
        xcb_disconnect(m_x);
    }

    void cleanup()
    {
        m_popup->hide();
        QVERIFY(!m_popup->eventFrame());
    }

    void placement_data()
    {
        addColumns<QRect, QList<ClipboardEntry>, QRect>("available", "candidates", "expected");
        const QRect screen(0, 0, 1000, 800);
        QTest::newRow("empty history") << screen << entries(0) << QRect(270, 330, 460, 140);
        QTest::newRow("one image") << screen << entries(0, 1) << QRect(270, 262, 460, 276);
        QTest::newRow("two texts") << screen << entries(2) << QRect(270, 261, 460, 278);
        QTest::newRow("one image, five texts") << screen << entries(5, 1) << QRect(270, 73, 460, 654);
        QTest::newRow("twenty texts") << screen << entries(20) << QRect(270, 73, 460, 654);
        QTest::newRow("short screen") << QRect(9, 0, 1000, 500) << entries(20) << QRect(279, 20, 460, 460);
        QTest::newRow("narrow screen") << QRect(0, 0, 300, 800) << entries(1) << QRect(20, 308, 260, 184);
        QTest::newRow("too low") << QRect(0, 0, 1000, 80) << entries(1) << QRect();
    }

    void placement()
    {
        QFETCH(QRect, available);
        QFETCH(QList<ClipboardEntry>, candidates);
        QFETCH(QRect, expected);
        QCOMPARE(QuickPasteLayout::frame(available, candidates).value_or(QRect()), expected);
    }

    void appearsCentredUnderThePointer_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("screen");
        QTest::newRow("left monitor") << QPoint(100, 700) << 0;
        QTest::newRow("right monitor") << QPoint(1200, 100) << 1;
    }

    // Placed once per appearance, in the display's pixels, never taking the focus or the keyboard.
    void appearsCentredUnderThePointer()
    {
        QFETCH(QPoint, pointer);
        QFETCH(int, screen);
        const QList<quint32> before = focus();
        QuickPasteView& panel = shown(entries(2), 0, pointer);
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QRect placed = panel.geometry();
        QVERIFY((placed.center() - QGuiApplication::screens()[screen]->availableGeometry().center())
                    .manhattanLength() <= 2);
        shown(entries(2), 1, QPoint(1280, 800) - pointer);
        QCOMPARE(panel.geometry(), placed);
        QCOMPARE(focus(), before);
        auto* native = xcb_get_geometry_reply(m_x, xcb_get_geometry(m_x, panel.winId()), nullptr);
        QCOMPARE(m_popup->eventFrame(), QRectF(native->x, native->y, native->width, native->height));
        std::free(native);
        m_target.readAll();
        xdotool(QStringLiteral("key a"));
        QByteArray typed;
        for (QDeadlineTimer limit(5000); !typed.contains("press") && !limit.hasExpired();
             typed += m_target.readAll())
            m_target.waitForReadyRead(100);
        QVERIFY(typed.contains("press"));
    }

    void firstClickSelectsTheRow()
    {
        const QList<quint32> before = focus();
        QVERIFY(QTest::qWaitForWindowExposed(&shown(entries(6), 0)));
        const QuickPasteList& list = m_popup->panel().list();
        const QPoint row = list.viewport()->mapTo(&m_popup->panel(), list.visualRect(2).center());
        const QPoint click =
            (m_popup->eventFrame()->topLeft() + QPointF(row) * list.devicePixelRatioF()).toPoint();
        m_selected.clear();
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(click.x()).arg(click.y()));
        QTRY_COMPARE(m_selected, QList<QUuid>{m_session.candidates[2].id});
        QCOMPARE(focus(), before);
    }

    // A single step springs the highlight over from the row it leaves; a wrap, or any step under
    // reduced motion, puts it on the new row at once.
    void highlight_data()
    {
        addColumns<int, int, bool, bool>("from", "to", "reduced", "atOnce");
        QTest::newRow("step forward") << 0 << 1 << false << false;
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
        QuickPasteView& view = shown(entries(6), from);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        m_session.selectedIndex = to;
        m_popup->show(m_session, QString());
        // Where a smaller, unselected plate leaves the background bare.
        const QPoint probe =
            view.list().viewport()->mapTo(&view, QPoint(20, view.list().visualRect(to).center().y()));
        const QColor colour = view.grab().toImage().pixelColor(probe * view.devicePixelRatioF());
        ReducedMotion::shared().setReduced(false);
        QCOMPARE(colour == HistoryAppearance::resolve(HistoryAppearance::Colour::selected, view.palette()),
                 atOnce);
    }

    // Cycling forward, back, and wrapping from the first row to the last.
    void keepsTheSelectionInView()
    {
        const QuickPasteList& list = shown(entries(20), 0).list();
        for (int step = 0; step < 23; ++step) {
            m_session.triggerDown(QuickPasteSession::Direction(step < 11 ? 1 : -1), false);
            m_popup->show(m_session, QString());
            QVERIFY(list.viewport()->rect().contains(list.visualRect(int(m_session.selectedIndex))));
        }
    }

    void accessibleNameFollowsSelectionAndLanguage()
    {
        AppLocalization::shared().select(AppLanguage::traditionalChinese);
        QCOMPARE(shown(entries(3), 2).accessibleName(), QStringLiteral("快速貼上：entry 2"));
        AppLocalization::shared().select(AppLanguage::english);
        QCOMPARE(m_popup->panel().accessibleName(), QStringLiteral("Quick paste: entry 2"));
    }
};

int main(int argc, char** argv)
{
    // Two monitors side by side on the one screen, before Qt reads the screens.
    if (std::system("xrandr --setmonitor left 640/169x800/212+0+0 screen && "
                    "xrandr --setmonitor right 640/169x800/212+640+0 none") != 0)
        return 1;
    QApplication app(argc, argv);
    TestQuickPaste test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quickpaste.moc"
