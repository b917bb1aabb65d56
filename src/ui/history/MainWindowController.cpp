#include "ui/history/MainWindowController.h"

#include "app/Preferences.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/Symbols.h"
#include "ui/common/WindowChrome.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/HistorySplitController.h"
#include "ui/history/WindowContentController.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <utility>

namespace {

const QString windowTitle = QStringLiteral("Clipwell");
constexpr QSize defaultSize(1080, 810);
constexpr QSize minimumSize(760, 520);

// Where the window manager draws no title bar, the strip shows the title itself.
WindowContentController::TitleStripContent stripContentForPlatform()
{
    return WindowChrome::windowManagerDrawsTitle() ? WindowContentController::TitleStripContent::menuBar
                                                   : WindowContentController::TitleStripContent::titleLabel;
}

} // namespace

const QString MainWindowController::frameAutosaveName = QStringLiteral("Clipwell.HistoryWindow.v2");

// Closing only hides, so the next present() brings back the same window with its state.
class MainWindowController::HistoryWindow final : public QMainWindow {
public:
    std::function<void()> frameChanged;
    // The first frame is sized before the window manager has said how thick its decorations are;
    // once it has, the whole frame is fitted into the screen's available area.
    bool fitsFrameWhenShown = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        hide();
        event->ignore();
    }
    void moveEvent(QMoveEvent* event) override
    {
        QMainWindow::moveEvent(event);
        if (isVisible() && frameChanged)
            frameChanged();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QMainWindow::resizeEvent(event);
        if (isVisible() && frameChanged)
            frameChanged();
    }
    void hideEvent(QHideEvent* event) override
    {
        QMainWindow::hideEvent(event);
        if (frameChanged)
            frameChanged();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), HistoryAppearance::windowBackground(this));
        if (std::exchange(fitsFrameWhenShown, false))
            QMetaObject::invokeMethod(this, &HistoryWindow::fitFrame, Qt::QueuedConnection);
    }

private:
    void fitFrame()
    {
        const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        const QRect available = screen()->availableGeometry();
        if (margins.isNull() || available.contains(frameGeometry()))
            return;
        const QSize client = size().boundedTo(available.size().shrunkBy(margins)).expandedTo(minimumSize());
        resize(client);
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, client.grownBy(margins), available)
                 .topLeft());
    }
};

MainWindowController::MainWindowController(AppModel& model, Preferences& preferences, QWidget* detail,
                                           std::function<void()> openSettings, QObject* parent)
    : QObject(parent), m_preferences(preferences), m_window(std::make_unique<HistoryWindow>())
{
    m_split =
        new HistorySplitController(new HistorySidebar(model, std::move(openSettings)), detail, preferences);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? defaultSize.boundedTo(screen->availableGeometry().size()) : defaultSize;
    m_content = new WindowContentController(m_split, windowTitle, size, stripContentForPlatform());
    m_content->setColumnDivider(m_split->divider());

    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setWindowTitle(windowTitle);
    if (QGuiApplication::windowIcon().isNull())
        m_window->setWindowIcon(
            Symbols::icon(QStringLiteral("StatusBarIcon"), m_window->palette().color(QPalette::WindowText)));
    m_window->setMinimumSize(minimumSize);
    m_window->setCentralWidget(m_content);
    m_window->resize(size.expandedTo(minimumSize));
    placeWindow();
    m_savedFrame = m_preferences.bytesValue(frameAutosaveName);
    m_window->frameChanged = [this] { saveFrame(); };
}

MainWindowController::~MainWindowController() = default;

QMainWindow* MainWindowController::window() const
{
    return m_window.get();
}

void MainWindowController::present()
{
    if (!m_window->isVisible()) {
        // A hidden window defers its children's geometry until it is shown; lay it out now, parents
        // before children, so that the first frame already has the sidebar at its stored width.
        m_window->ensurePolished();
        if (QLayout* layout = m_window->layout())
            layout->activate();
        for (QWidget* child : m_window->findChildren<QWidget*>()) {
            if (QLayout* layout = child->layout())
                layout->activate();
        }
        m_split->layOut();
    }
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void MainWindowController::setMenuBar(QMenuBar* menuBar)
{
    m_content->setMenuBar(menuBar);
}

void MainWindowController::placeWindow()
{
    const QByteArray stored = m_preferences.bytesValue(frameAutosaveName);
    if (!stored.isEmpty() && m_window->restoreGeometry(stored))
        return;
    m_window->fitsFrameWhenShown = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, m_window->size(),
                                                  screen->availableGeometry()));
}

void MainWindowController::saveFrame()
{
    const QByteArray frame = m_window->saveGeometry();
    if (frame == m_savedFrame)
        return;
    m_savedFrame = frame;
    m_preferences.setBytes(frameAutosaveName, frame);
}
