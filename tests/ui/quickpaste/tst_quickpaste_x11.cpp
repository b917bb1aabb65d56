#include "support/EntryBuilder.h"
#include "support/x11/WindowManager.h"
#include "ui/quickpaste/QuickPasteList.h"
#include "ui/quickpaste/QuickPastePanelController.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

// Where the pointer goes, in the display's pixels.
void movePointer(QPoint native)
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(native.x()),
                                                  QString::number(native.y())});
}

QuickPasteSession session(int count)
{
    QList<ClipboardEntry> list;
    for (int index = 0; index < count; ++index)
        list.append(makeEntry(QStringLiteral("entry %1").arg(index), 100 - index));
    return QuickPasteSession::over(list);
}

} // namespace

// The popup on a real display with a window manager: two monitors side by side, and a window of
// another program that has the keyboard focus and must keep it.
class TestQuickPasteX11 : public QObject {
    Q_OBJECT

    xcb_connection_t* m_x = nullptr;
    QProcess m_windowManager;
    QProcess m_target;
    std::unique_ptr<QuickPastePanelController> m_popup;
    QList<QUuid> m_selected;

    QPair<xcb_window_t, xcb_window_t> focusAndActiveWindow()
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data;
        auto* focus = xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr);
        auto* atom = xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
        auto* active = xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, screen->root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        const QPair<xcb_window_t, xcb_window_t> both{
            focus->focus, *static_cast<xcb_window_t*>(xcb_get_property_value(active))};
        std::free(focus);
        std::free(atom);
        std::free(active);
        return both;
    }

    // The popup's window as the X server has it.
    QRectF nativeFrame()
    {
        const xcb_window_t window = xcb_window_t(m_popup->panel().winId());
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data;
        auto* geometry = xcb_get_geometry_reply(m_x, xcb_get_geometry(m_x, window), nullptr);
        auto* origin = xcb_translate_coordinates_reply(
            m_x, xcb_translate_coordinates(m_x, window, screen->root, 0, 0), nullptr);
        const QRectF frame(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        std::free(geometry);
        std::free(origin);
        return frame;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        m_x = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(m_x));
        QVERIFY(startWindowManager(m_windowManager));
        m_target.start(QStringLiteral(TEST_KEY_TARGET), {});
        QVERIFY(m_target.waitForReadyRead(20000));
        QCOMPARE(m_target.readLine(), QByteArray("ready\n"));
        m_popup = std::make_unique<QuickPastePanelController>();
        m_popup->onSelect = [this](const QUuid& id) { m_selected.append(id); };
    }

    void cleanupTestCase()
    {
        m_popup.reset();
        m_target.kill();
        m_target.waitForFinished();
        m_windowManager.kill();
        m_windowManager.waitForFinished();
        xcb_disconnect(m_x);
    }

    void cleanup() { m_popup->hide(); }

    // Centred on the monitor under the pointer, placed once per appearance, and never taking the
    // focus or the keyboard from the window being typed in.
    void appearsUnderThePointer_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<int>("screen");
        QTest::newRow("left monitor") << QPoint(100, 700) << 0;
        QTest::newRow("right monitor") << QPoint(1200, 100) << 1;
    }

    void appearsUnderThePointer()
    {
        QFETCH(QPoint, pointer);
        QFETCH(int, screen);
        const auto before = focusAndActiveWindow();
        QVERIFY(before.first > 1);
        QVERIFY(!m_popup->eventFrame());
        movePointer(pointer);
        QuickPasteSession shown = session(12);
        m_popup->show(shown, QStringLiteral("Editor"));
        QuickPasteView& panel = m_popup->panel();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const QRect available = QGuiApplication::screens().at(screen)->availableGeometry();
        QVERIFY2(qAbs(panel.geometry().center().x() - available.center().x()) <= 1 &&
                     qAbs(panel.geometry().center().y() - available.center().y()) <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(panel.x()).arg(panel.y())));
        const QRect placed = panel.geometry();
        movePointer(QPoint(1280, 800) - pointer);
        shown.triggerDown(QuickPasteSession::Direction::next, false);
        m_popup->show(shown, QStringLiteral("Editor"));
        QTest::qWait(200);
        QCOMPARE(panel.geometry(), placed);
        QCOMPARE(focusAndActiveWindow(), before);
        QCOMPARE(m_popup->eventFrame(), std::optional(nativeFrame()));
        // The keyboard still reaches the focused window: no grab was taken.
        m_target.readAll();
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("a")});
        QByteArray typed;
        for (QDeadlineTimer deadline(5000); !typed.contains("press") && !deadline.hasExpired();) {
            m_target.waitForReadyRead(100);
            typed += m_target.readAll();
        }
        QVERIFY(typed.contains("press"));
        m_popup->hide();
        QVERIFY(!m_popup->eventFrame());
    }

    // The first click on a row picks it, although the popup never had the focus.
    void firstClickSelectsTheRow()
    {
        const auto before = focusAndActiveWindow();
        movePointer(QPoint(320, 400));
        const QuickPasteSession shown = session(6);
        m_popup->show(shown, QString());
        QVERIFY(QTest::qWaitForWindowExposed(&m_popup->panel()));
        const QuickPasteList& list = m_popup->panel().list();
        const QPoint logical = list.viewport()->mapTo(&m_popup->panel(), list.visualRect(2).center());
        const qreal ratio = m_popup->panel().devicePixelRatioF();
        movePointer((m_popup->eventFrame()->topLeft() + QPointF(logical) * ratio).toPoint());
        m_selected.clear();
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
        QTRY_COMPARE(m_selected, QList<QUuid>{shown.candidates[2].id});
        QCOMPARE(focusAndActiveWindow(), before);
    }
};

int main(int argc, char** argv)
{
    // Two monitors side by side on the one screen, before Qt reads the screens.
    if (std::system("xrandr --setmonitor left 640/169x800/212+0+0 screen && "
                    "xrandr --setmonitor right 640/169x800/212+640+0 none") != 0)
        return 1;
    QApplication app(argc, argv);
    TestQuickPasteX11 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quickpaste_x11.moc"
