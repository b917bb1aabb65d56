#pragma once

#include "app/LoginItemService.h"

#include <QWidget>
#include <functional>

class AppLocalization;
class AppModel;
class HistoryButton;
class Preferences;
class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class QuickPasteController;
class SettingsPicker;
class SettingsSwitch;

// The settings page: a scrolling column of the quick paste card (switch, chord, instructions and,
// while quick paste is on, its status with the action it calls for and the guide link), the general
// card (language, theme, launch at login, pause recording) and two policy notes. It follows the
// model, the interface language and the theme; every text is looked up again when the language
// changes.
class SettingsView : public QWidget {
    Q_OBJECT

public:
    struct Services {
        AppModel& model;
        // Without it the quick paste switch is disabled.
        QuickPasteController* quickPaste;
        LoginItemService& loginItems;
        // Where the theme is kept.
        Preferences& preferences;
        AppLocalization& localization;
        // Opens the accessibility guide; without it the guide link is not shown.
        std::function<void()> showAccessibilityGuide;
    };

    explicit SettingsView(Services services, QWidget* parent = nullptr);

    SettingsSwitch* quickPasteSwitch() const { return m_quickPasteSwitch; }
    QLabel* instructions() const { return m_instructions; }
    QLabel* statusLabel() const { return m_statusLabel; }
    // The green check beside a ready status.
    QWidget* readyMark() const { return m_readyMark; }
    HistoryButton* grantAccessButton() const { return m_grantAccess; }
    HistoryButton* retryButton() const { return m_retry; }
    QAbstractButton* guideLink() const { return m_guideLink; }
    // What the desktop asks of the user, under the status: a missing protocol, a line to add.
    QLabel* setupNote() const { return m_setupNote; }
    SettingsPicker* languagePicker() const { return m_languagePicker; }
    SettingsPicker* themePicker() const { return m_themePicker; }
    SettingsSwitch* launchAtLoginSwitch() const { return m_launchAtLoginSwitch; }
    // The launch-at-login failure or approval message under its switch.
    QLabel* launchAtLoginMessage() const { return m_launchAtLoginMessage; }
    SettingsSwitch* pauseRecordingSwitch() const { return m_pauseRecordingSwitch; }
    QScrollArea* scrollArea() const { return m_scrollArea; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // A status too long for its row wraps; a short one keeps its check mark beside it.
    void fitStatus();
    QWidget* makeQuickPasteCard();
    QWidget* makeGeneralCard();
    void retranslate();
    void restyle();
    void updateQuickPaste();
    void updateLaunchAtLogin();
    void setLaunchAtLogin(bool on);
    void chooseTheme(int index);
    void followStoredTheme();

    Services m_services;
    LaunchAtLoginSwitch m_launchAtLogin;

    QScrollArea* m_scrollArea = nullptr;
    SettingsSwitch* m_quickPasteSwitch = nullptr;
    QLabel* m_instructions = nullptr;
    QWidget* m_quickPasteDivider = nullptr;
    QWidget* m_statusRow = nullptr;
    QLabel* m_statusLabel = nullptr;
    // The label and its check, left-aligned by a stretch behind them.
    QHBoxLayout* m_statusLine = nullptr;
    QWidget* m_readyMark = nullptr;
    HistoryButton* m_grantAccess = nullptr;
    HistoryButton* m_retry = nullptr;
    QLabel* m_setupNote = nullptr;
    QAbstractButton* m_guideLink = nullptr;
    QLabel* m_generalHeading = nullptr;
    QLabel* m_languageLabel = nullptr;
    SettingsPicker* m_languagePicker = nullptr;
    QLabel* m_themeLabel = nullptr;
    SettingsPicker* m_themePicker = nullptr;
    SettingsSwitch* m_launchAtLoginSwitch = nullptr;
    QLabel* m_launchAtLoginMessage = nullptr;
    SettingsSwitch* m_pauseRecordingSwitch = nullptr;
    QLabel* m_storagePolicy = nullptr;
    QLabel* m_capturePolicy = nullptr;
};
