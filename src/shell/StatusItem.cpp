#include "shell/StatusItem.h"

#include "ui/common/Symbols.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent), m_tray(std::make_unique<QSystemTrayIcon>())
{
    updateIcon();
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click also arrives as a trigger first; middle clicks mean nothing here.
                if (reason == QSystemTrayIcon::Trigger)
                    Q_EMIT clicked(Click::left);
                else if (reason == QSystemTrayIcon::Context)
                    Q_EMIT clicked(Click::right);
            });
    qApp->installEventFilter(this);
    m_tray->show();
}

TrayStatusItem::~TrayStatusItem()
{
    if (m_menu)
        m_menu->close();
    delete m_menu;
}

void TrayStatusItem::setToolTip(const QString& toolTip)
{
    m_tray->setToolTip(toolTip);
}

void TrayStatusItem::popUpMenu(std::unique_ptr<QMenu> menu)
{
    if (m_menu)
        m_menu->close();
    m_menu = menu.release();
    connect(m_menu, &QMenu::aboutToHide, m_menu, &QObject::deleteLater);
    m_menu->popup(QCursor::pos());
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event)
{
    // Template images follow the text colour; a theme change re-tints the symbol.
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        updateIcon();
    return StatusItem::eventFilter(watched, event);
}

void TrayStatusItem::updateIcon()
{
    // Missing symbol: no image, but the tooltip and clicks still work.
    m_tray->setIcon(Symbols::exists(QStringLiteral("StatusBarIcon"))
                        ? Symbols::icon(QStringLiteral("StatusBarIcon"),
                                        QGuiApplication::palette().color(QPalette::WindowText))
                        : QIcon());
}
