// Screenshots of the settings window for people to look at: quick paste off, lacking permission,
// failed and ready, in light and dark, in English, Simplified and Traditional Chinese; the page
// scrolled to its end with a launch-at-login error, an open picker, the keyboard focus on each
// control, and the window after a live language change. Run it on an X display:
// settings_gallery OUTPUT_FOLDER
#include "Gallery.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "support/FakeEventTap.h"
#include "support/FakeLoginItemService.h"
#include "support/FakeQuickPaste.h"
#include "support/UiHarness.h"
#include "ui/common/AppTheme.h"
#include "ui/settings/SettingsPicker.h"
#include "ui/settings/SettingsSwitch.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>

namespace {

// The settings window over doubles, with quick paste brought to one status.
struct Scene : ModelHome {
    FakeEventTap tap;
    FakeAccessibility accessibility;
    FakeKeystrokePoster keystrokes;
    FakeLoginItemService loginItems;
    QuickPasteController quickPaste{
        *model, preferences, {workspace, tap, accessibility, keystrokes}, std::make_unique<FakePopup>()};
    SettingsWindowController controller{
        {*model, &quickPaste, loginItems, preferences, AppLocalization::shared(), [] {}}};

    explicit Scene(QuickPasteStatus status, QuickPasteSetup advice = {})
    {
        tap.advice = std::move(advice);
        accessibility.trusted = status != QuickPasteStatus::needsPermission;
        tap.canInstall = status != QuickPasteStatus::failed;
        tap.supported = status != QuickPasteStatus::unavailable;
        if (status != QuickPasteStatus::disabled)
            quickPaste.setEnabled(true, false);
        controller.present();
        static_cast<void>(QTest::qWaitForWindowExposed(controller.window()));
        QTest::qWait(300);
    }

    void save(const QString& path)
    {
        QTest::qWait(200);
        controller.window()->grab().save(path);
    }
};

QString statusName(QuickPasteStatus status)
{
    switch (status) {
    case QuickPasteStatus::disabled:
        return QStringLiteral("off");
    case QuickPasteStatus::needsPermission:
        return QStringLiteral("permission");
    case QuickPasteStatus::failed:
        return QStringLiteral("failed");
    case QuickPasteStatus::ready:
        return QStringLiteral("ready");
    case QuickPasteStatus::unavailable:
        return QStringLiteral("unavailable");
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const std::optional<QString> named = galleryFolder(argc, argv);
    if (!named)
        return 2;
    const QString& output = *named;

    for (const AppTheme theme : galleryThemes) {
        AppThemes::apply(theme);
        for (const AppLanguage language : galleryLanguages) {
            AppLocalization::shared().select(language);
            const QString prefix = lookPrefix(output, theme) + QStringLiteral("-");
            for (const QuickPasteStatus status :
                 {QuickPasteStatus::disabled, QuickPasteStatus::needsPermission, QuickPasteStatus::failed,
                  QuickPasteStatus::ready, QuickPasteStatus::unavailable}) {
                Scene scene(status);
                scene.save(prefix + statusName(status) + QStringLiteral(".png"));
                // The same card on Wayland compositors: what one lacks, the line another needs, the
                // user's own binding of the chord.
                using Advice = QuickPasteSetup::Advice;
                const QList<std::pair<const char*, QuickPasteSetup>> compositors{
                    {"wayland-permission", {Advice::missingProtocols, false, false, true, {}, {}, false, {}}},
                    {"wayland-ready",
                     {Advice::bindCommand,
                      true,
                      true,
                      false,
                      QuickPasteSetups::bindingLine(QStringLiteral("Hyprland")),
                      {},
                      false,
                      {}}},
                    {"wayland-failed",
                     {Advice::chordTaken,
                      true,
                      true,
                      false,
                      QStringLiteral("bindsym $mod+Shift+v exec wofi --show run"),
                      QStringLiteral("/home/ada/.config/sway/config.d/keys"),
                      false,
                      {}}},
                    // KDE: the user's own shortcut, fake input not granted, no shortcut given, and the
                    // wait for KWin's first answer.
                    {"kde-ready",
                     {Advice::none, true, true, false, {}, {}, false, QStringLiteral("Ctrl+Alt+B")}},
                    {"kde-permission",
                     {Advice::missingProtocols, true, false, true, {}, {}, false, {}, true}},
                    {"kde-failed", {Advice::shortcutMissing, true, true, false, {}, {}, false, {}}},
                    {"kde-connecting-permission",
                     {Advice::connecting, true, true, false, {}, {}, false, {}}}};
                for (const auto& [name, advice] : compositors) {
                    if (QString::fromLatin1(name).endsWith(statusName(status)))
                        Scene(status, advice)
                            .save(prefix + QString::fromLatin1(name) + QStringLiteral(".png"));
                }
                if (status != QuickPasteStatus::ready)
                    continue;
                // The end of the page, with a launch-at-login failure under its switch.
                scene.loginItems.registerFailure =
                    QStringLiteral("Cannot write ~/.config/autostart/clipwell.desktop");
                scene.controller.view()->launchAtLoginSwitch()->click();
                QTest::qWait(200);
                QScrollBar* bar = scene.controller.view()->scrollArea()->verticalScrollBar();
                bar->setValue(bar->maximum());
                scene.save(prefix + QStringLiteral("end.png"));
                bar->setValue(0);
                // The language picker open over the page.
                SettingsPicker* picker = scene.controller.view()->languagePicker();
                scene.controller.view()->scrollArea()->ensureWidgetVisible(picker);
                picker->present();
                QTest::qWait(300);
                const QRect area = scene.controller.window()->geometry();
                const QRect list = picker->optionList()->geometry();
                scene.controller.window()
                    ->screen()
                    ->grabWindow(0)
                    .copy(area.united(list))
                    .save(prefix + QStringLiteral("picker.png"));
                picker->optionList()->close();
                // Every Tab stop with its focus mark.
                QWidget* window = scene.controller.window();
                window->activateWindow();
                QTest::qWait(200);
                for (int stop = 0; stop < 10; ++stop) {
                    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                                    Qt::Key_Tab);
                    QTest::qWait(150);
                    QWidget* focus = QApplication::focusWidget();
                    qInfo("%s focus %d: %s %s", qPrintable(prefix.section(u'/', -1)), stop,
                          focus ? focus->metaObject()->className() : "none",
                          focus ? qPrintable(focus->accessibleName()) : "");
                    scene.save(prefix + QStringLiteral("focus-%1.png").arg(stop));
                }
            }
        }
    }

    // A language change while the window is open.
    AppThemes::apply(AppTheme::light);
    AppLocalization::shared().select(AppLanguage::english);
    Scene scene(QuickPasteStatus::needsPermission);
    AppLocalization::shared().select(AppLanguage::traditionalChinese);
    scene.save(output + QStringLiteral("/live-language-change.png"));
    qInfo("title after the change: %s", qPrintable(scene.controller.window()->windowTitle()));
    AppLocalization::shared().select(AppLanguage::system);
    return 0;
}
