#include "ui/settings/SettingsWindowController.h"

#include "l10n/Localization.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/WindowChrome.h"
#include "ui/common/WindowTitleLabel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// As high as the history window's title strip.
constexpr int titleStripHeight = 32;

} // namespace

class SettingsWindowController::SettingsWindow final : public QWidget {
public:
    SettingsWindow()
        : QWidget(nullptr,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        hide();
        event->ignore();
    }
    // What no control takes: Escape and the platform's close keys (Ctrl+W) put the window away.
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) ||
            event->matches(QKeySequence::Close))
            close();
        else
            QWidget::keyPressEvent(event);
    }
    // The page's colour also under a title we draw ourselves.
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), HistoryAppearance::sidebar(this));
    }
};

SettingsWindowController::SettingsWindowController(SettingsView::Services services, QObject* parent)
    : QObject(parent), m_localization(services.localization), m_window(std::make_unique<SettingsWindow>())
{
    m_view = new SettingsView(std::move(services));
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Like the history window: where the window manager shows the title, we draw none.
    if (!WindowChrome::windowManagerDrawsTitle()) {
        m_titleLabel = new WindowTitleLabel(QString(), m_window.get());
        m_titleLabel->setFixedHeight(titleStripHeight);
        layout->addWidget(m_titleLabel);
    }
    layout->addWidget(m_view, 1);
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->setFixedSize(contentSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, contentSize, screen->availableGeometry())
                .topLeft());
    connect(&m_localization, &AppLocalization::languageIdentifierChanged, this,
            &SettingsWindowController::retranslate);
    retranslate();
}

SettingsWindowController::~SettingsWindowController() = default;

QWidget* SettingsWindowController::window() const
{
    return m_window.get();
}

void SettingsWindowController::present()
{
    // Without a focused control the window would give the first one the focus, and its focus mark,
    // before any key was pressed.
    if (!m_window->focusWidget())
        m_window->setFocus(Qt::OtherFocusReason);
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::retranslate()
{
    m_window->setWindowTitle(m_localization.text(L10n::Key::settingsTitle));
    if (m_titleLabel)
        m_titleLabel->setText(m_window->windowTitle());
}
