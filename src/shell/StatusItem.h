#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QIcon;
class QMenu;
class QSystemTrayIcon;

// The application's item in the panel's notification area. The coordinator talks to this interface
// so that tests can click a double.
class StatusItem : public QObject {
    Q_OBJECT

public:
    enum class Click { left, right };

    using QObject::QObject;

    virtual void setToolTip(const QString& toolTip) = 0;
    // Whether the item shows that recording is paused.
    virtual void setPaused(bool paused) = 0;
    // Shows the menu at the item; it is deleted once it closes.
    virtual void popUpMenu(std::unique_ptr<QMenu> menu) = 0;

Q_SIGNALS:
    void clicked(StatusItem::Click click);
};

// The item as a tray icon, drawn to show on any panel (StatusBarIcon). On X11 Qt docks it whenever a
// tray appears, so a panel that starts after us still gets it; on Wayland it is a StatusNotifierItem,
// and Qt looks for a host to show it only once, when the item is made.
class TrayStatusItem final : public StatusItem {
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject* parent = nullptr);
    ~TrayStatusItem() override;

    void setToolTip(const QString& toolTip) override;
    void setPaused(bool paused) override;
    void popUpMenu(std::unique_ptr<QMenu> menu) override;

    QIcon icon() const;

private:
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QPointer<QMenu> m_menu;
};
