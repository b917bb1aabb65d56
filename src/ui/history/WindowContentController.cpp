#include "ui/history/WindowContentController.h"

#include "ui/common/HistoryAppearance.h"
#include "ui/common/WindowTitleLabel.h"

#include <QEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

class WindowContentController::TitleStrip final : public QWidget {
public:
    explicit TitleStrip(QWidget* parent) : QWidget(parent)
    {
        setFixedHeight(titleStripHeight);
        m_layout = new QGridLayout(this);
        m_layout->setContentsMargins(8, 0, 8, 0);
        m_layout->setSpacing(0);
    }

    QGridLayout* grid() const { return m_layout; }
    QMenuBar* menuBar() const { return m_menuBar; }

    void setMenuBar(QMenuBar* menuBar)
    {
        if (menuBar == m_menuBar)
            return;
        // Later, not now: the bar may be replaced from one of its own menu actions.
        if (m_menuBar) {
            m_menuBar->hide();
            m_menuBar->deleteLater();
        }
        m_menuBar = menuBar;
        if (!menuBar)
            return;
        menuBar->setParent(this);
        m_layout->addWidget(menuBar, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
        styleMenuBar();
        menuBar->show();
    }

    void setDivider(QWidget* divider)
    {
        if (m_divider)
            m_divider->removeEventFilter(this);
        m_divider = divider;
        if (divider)
            divider->installEventFilter(this);
        update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_divider && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            update();
        return QWidget::eventFilter(watched, event);
    }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange)
            styleMenuBar();
        QWidget::changeEvent(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor line = palette().color(QPalette::Mid);
        if (const std::optional<int> x = dividerLine()) {
            painter.fillRect(0, 0, *x, height(), HistoryAppearance::sidebar(this));
            painter.fillRect(*x + 1, 0, width() - *x - 1, height(),
                             HistoryAppearance::detailBackground(this));
            painter.fillRect(*x, 0, 1, height(), line);
        } else {
            painter.fillRect(rect(), HistoryAppearance::windowBackground(this));
            painter.fillRect(0, height() - 1, width(), 1, line);
        }
    }

private:
    std::optional<int> dividerLine() const
    {
        if (!m_divider || m_divider->window() != window())
            return std::nullopt;
        const QPoint centre(m_divider->width() / 2, 0);
        return mapFrom(window(), m_divider->mapTo(window(), centre)).x();
    }

    // A flat bar in the strip's own colours: no panel, no frame, items highlighted like the sidebar's
    // hovered rows. Colours are baked into the sheet, so it is rebuilt when the palette changes.
    void styleMenuBar()
    {
        if (!m_menuBar)
            return;
        const QString sheet =
            QStringLiteral("QMenuBar { background: transparent; border: none; color: %1; spacing: 2px; }"
                           "QMenuBar::item { background: transparent; padding: 4px 8px; border-radius: 6px; }"
                           "QMenuBar::item:selected, QMenuBar::item:pressed { background: %2; }")
                .arg(palette().color(QPalette::WindowText).name(), HistoryAppearance::hover(this).name());
        if (m_menuBar->styleSheet() != sheet)
            m_menuBar->setStyleSheet(sheet);
    }

    QGridLayout* m_layout = nullptr;
    QPointer<QMenuBar> m_menuBar;
    QPointer<QWidget> m_divider;
};

WindowContentController::WindowContentController(QWidget* content, const QString& title, QSize initialSize,
                                                 TitleStripContent stripContent, QWidget* parent)
    : QWidget(parent), m_content(content), m_initialSize(initialSize), m_stripContent(stripContent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_strip = new TitleStrip(this);
    m_titleLabel = new WindowTitleLabel(title, m_strip);
    m_strip->grid()->addWidget(m_titleLabel, 0, 0);
    m_titleLabel->setVisible(stripContent == TitleStripContent::titleLabel);
    layout->addWidget(m_strip);
    layout->addWidget(content, 1);
    resize(initialSize);
}

QWidget* WindowContentController::titleStrip() const
{
    return m_strip;
}

QMenuBar* WindowContentController::menuBar() const
{
    return m_strip->menuBar();
}

void WindowContentController::setMenuBar(QMenuBar* menuBar)
{
    // Kept in the window even where a desktop offers a global menu, so the strip is never empty.
    if (menuBar && m_stripContent == TitleStripContent::menuBar)
        menuBar->setNativeMenuBar(false);
    m_strip->setMenuBar(menuBar);
}

void WindowContentController::setColumnDivider(QWidget* divider)
{
    m_strip->setDivider(divider);
}
