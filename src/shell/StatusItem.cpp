#include "shell/StatusItem.h"

#include "ui/common/StatusBarIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

TrayStatusItem::TrayStatusItem(QObject* parent)
    : StatusItem(parent), m_tray(std::make_unique<QSystemTrayIcon>(StatusBarIcon::icon(false)))
{
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click also arrives as a trigger first; middle clicks mean nothing here.
                if (reason == QSystemTrayIcon::Trigger)
                    Q_EMIT clicked(Click::left);
                else if (reason == QSystemTrayIcon::Context)
                    Q_EMIT clicked(Click::right);
            });
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

void TrayStatusItem::setPaused(bool paused)
{
    m_tray->setIcon(StatusBarIcon::icon(paused));
}

QIcon TrayStatusItem::icon() const
{
    return m_tray->icon();
}
