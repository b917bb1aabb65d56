#pragma once

#include "l10n/AppMessage.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The application's registration as a program started at login.
class LoginItemService {
public:
    enum class Status { notRegistered, enabled, requiresApproval, notFound };

    virtual ~LoginItemService() = default;

    virtual Status status() const = 0;
    // Each returns the failure, or nothing on success.
    virtual std::optional<AppError> registerItem() = 0;
    virtual std::optional<AppError> unregisterItem() = 0;
    // Shows the user where login items are managed.
    virtual void openSystemSettingsLoginItems() = 0;
};

// Linux: an XDG autostart entry, <config>/autostart/clipwell.desktop, that starts the installed
// binary. Approval is never required.
class XdgAutostartLoginItemService final : public LoginItemService {
public:
    // $XDG_CONFIG_HOME (or ~/.config) and the binary a login should start.
    XdgAutostartLoginItemService();
    XdgAutostartLoginItemService(const QString& configDirectory, const QString& binaryPath);

    QString autostartDirectory() const;
    QString entryPath() const;
    // The option the entry starts Clipwell with, so that a login does not open the history window.
    static inline const QString backgroundArgument = QStringLiteral("--background");
    // The installed binary when it is there, so that a login starts it even after a run from a build
    // tree; otherwise the running one.
    static QString loginBinary(const QString& installedBinary, const QString& runningBinary);
    // The Exec value for a binary: quoted and escaped as desktop entries require, then the option.
    static QString execValue(const QString& binaryPath);

    // Enabled while the entry exists and is neither Hidden nor switched off for GNOME; notFound when
    // something other than a readable file stands at the entry's path.
    Status status() const override;
    std::optional<AppError> registerItem() override;
    std::optional<AppError> unregisterItem() override;
    void openSystemSettingsLoginItems() override;
    // An entry of an older version starts Clipwell without the option: it gets it, and keeps the rest.
    std::optional<AppError> updateOlderEntry();

    // How folders are opened; QDesktopServices::openUrl unless replaced.
    std::function<bool(const QUrl&)> openUrl;

private:
    QString m_configDirectory;
    QString m_binaryPath;
};

// The launch-at-login switch of the settings view: what it shows and the message under it.
struct LaunchAtLoginSwitch {
    bool isOn = false;
    std::optional<AppMessage> message;

    // On exactly when the item is enabled; a pending approval shows the switch off.
    static LaunchAtLoginSwitch initial(const LoginItemService& service);

    // The user turned the switch to newValue: registers or unregisters when that changes anything.
    // A failure shows the service's error and puts the switch back to the real state; a registration
    // that awaits approval says so and opens the login-item settings.
    void set(bool newValue, LoginItemService& service);
};
