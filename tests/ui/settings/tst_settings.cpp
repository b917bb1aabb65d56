#include "app/QuickPasteController.h"
#include "support/FakeEventTap.h"
#include "support/FakeLoginItemService.h"
#include "support/FakeQuickPaste.h"
#include "support/TestColumns.h"
#include "support/UiHarness.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryButton.h"
#include "ui/settings/SettingsPicker.h"
#include "ui/settings/SettingsSwitch.h"
#include "ui/settings/SettingsWindowController.h"

#include <QLabel>
#include <QScrollArea>

using namespace Qt::StringLiterals;
using Status = LoginItemService::Status;

namespace {
// The settings window over a real quick paste controller on doubles.
struct Settings : ModelHome {
    FakeEventTap tap;
    FakeAccessibility accessibility;
    FakeKeystrokePoster keystrokes;
    FakeLoginItemService loginItems;
    QuickPasteController quickPaste{
        *model, preferences, {workspace, tap, accessibility, keystrokes}, std::make_unique<FakePopup>()};
    SettingsWindowController controller{
        {*model, &quickPaste, loginItems, preferences, AppLocalization::shared(), [] {}}};
    SettingsView& view = *controller.view();

    Settings() { controller.present(); }
    void choose(SettingsPicker* picker, int index)
    {
        QTest::mouseClick(picker, Qt::LeftButton);
        QTest::mouseClick(picker->optionList()->optionButton(index), Qt::LeftButton);
        QVERIFY(!picker->isPresented());
    }
};
} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        AppLocalization::shared().select(AppLanguage::english);
        AppThemes::apply(AppTheme::light);
    }
    void cleanup() { init(); }

    // The status row shows the message and only the action the status calls for; off hides it all.
    void quickPasteStatusRow_data()
    {
        QTest::addColumn<QuickPasteStatus>("status");
        QTest::newRow("ready: a check, no button") << QuickPasteStatus::ready;
        QTest::newRow("no permission: grant access") << QuickPasteStatus::needsPermission;
        QTest::newRow("failed: try again") << QuickPasteStatus::failed;
    }

    void quickPasteStatusRow()
    {
        QFETCH(QuickPasteStatus, status);
        Settings h;
        const bool trusted = h.accessibility.trusted = status != QuickPasteStatus::needsPermission;
        h.tap.canInstall = status != QuickPasteStatus::failed;
        QTest::mouseClick(h.view.quickPasteSwitch(), Qt::LeftButton);
        QCOMPARE(h.view.statusLabel()->text(), QuickPasteStatuses::message(status));
        QCOMPARE(h.view.readyMark()->isVisible(), status == QuickPasteStatus::ready);
        QCOMPARE(h.view.grantAccessButton()->isVisible(), status == QuickPasteStatus::needsPermission);
        QCOMPARE(h.view.retryButton()->isVisible(), status == QuickPasteStatus::failed);
        QVERIFY(h.view.guideLink()->isVisible());
        // Either action starts quick paste again; granting access also asks for the permission.
        h.tap.canInstall = true;
        const int requests = h.accessibility.trustRequests;
        if (status != QuickPasteStatus::ready)
            QTest::mouseClick(status == QuickPasteStatus::failed ? h.view.retryButton()
                                                                 : h.view.grantAccessButton(),
                              Qt::LeftButton);
        QCOMPARE(h.model->quickPasteStatus(),
                 trusted ? QuickPasteStatus::ready : QuickPasteStatus::needsPermission);
        QCOMPARE(h.accessibility.trustRequests - requests, trusted ? 0 : 1);
        // Off hides the status row and the link.
        QTest::mouseClick(h.view.quickPasteSwitch(), Qt::LeftButton);
        QVERIFY(!h.view.statusLabel()->isVisible() && !h.view.guideLink()->isVisible());
    }

    // Where quick paste cannot work yet, whatever the stored switch says: the switch is off and cannot
    // be turned, and the status says why, with no action to take and no guide.
    void quickPasteUnavailable_data()
    {
        QTest::addColumn<bool>("storedOn");
        QTest::newRow("stored on") << true;
        QTest::newRow("stored off") << false;
    }

    void quickPasteUnavailable()
    {
        QFETCH(bool, storedOn);
        Settings h;
        h.tap.supported = false;
        h.quickPaste.setEnabled(storedOn, false);
        QVERIFY(!h.view.quickPasteSwitch()->isEnabled() && !h.view.quickPasteSwitch()->isChecked());
        QVERIFY(h.view.statusLabel()->isVisible());
        QCOMPARE(h.view.statusLabel()->text(), QuickPasteStatuses::message(QuickPasteStatus::unavailable));
        // A message too long for one line wraps across the whole row, not a narrow column of it.
        QCoreApplication::sendPostedEvents();
        QVERIFY(h.view.statusLabel()->wordWrap());
        QVERIFY(h.view.statusLabel()->width() * 10 > h.view.statusLabel()->parentWidget()->width() * 9);
        for (const QWidget* action : std::initializer_list<const QWidget*>{
                 h.view.readyMark(), h.view.grantAccessButton(), h.view.retryButton(), h.view.guideLink()})
            QVERIFY(!action->isVisible());
    }

    // A compositor has no permission to grant and no guide: Settings says what it lacks, or the line
    // to add to its configuration, or where the user's configuration holds the chord already; the row
    // shows the chord the user chose in the desktop's settings.
    void waylandStatus_data()
    {
        addColumns<int, QString, QuickPasteStatus, QString>("advice", "line", "status", "shown");
        using Advice = QuickPasteSetup::Advice;
        QTest::newRow("no layer shell") << int(Advice::missingProtocols) << QString()
                                        << QuickPasteStatus::needsPermission << u"zwlr_layer_shell_v1"_s;
        QTest::newRow("no sway: a line to add") << int(Advice::bindCommand) << u"bind = SUPER SHIFT, V"_s
                                                << QuickPasteStatus::ready << u"bind = SUPER SHIFT, V"_s;
        QTest::newRow("the user's configuration binds the chord")
            << int(Advice::chordTaken) << u"bindsym $mod+Shift+v exec x"_s << QuickPasteStatus::failed
            << u"bindsym $mod+Shift+v exec x|/home/u/.config/sway/config"_s;
        QTest::newRow("bound over sway's IPC")
            << int(Advice::none) << QString() << QuickPasteStatus::ready << QString();
        QTest::newRow("another shortcut chosen on KDE")
            << int(Advice::none) << u"Ctrl+Alt+P"_s << QuickPasteStatus::ready << QString();
    }

    void waylandStatus()
    {
        QFETCH(int, advice);
        QFETCH(QString, line);
        QFETCH(QuickPasteStatus, status);
        QFETCH(QString, shown);
        Settings h;
        h.tap.advice = {QuickPasteSetup::Advice(advice),  false, true, false, line,
                        u"/home/u/.config/sway/config"_s, false, {}};
        h.tap.advice.chord = advice == 0 ? line : QString();
        h.accessibility.trusted = status != QuickPasteStatus::needsPermission;
        h.tap.canInstall = status != QuickPasteStatus::failed;
        QTest::mouseClick(h.view.quickPasteSwitch(), Qt::LeftButton);
        QCOMPARE(h.model->quickPasteStatus(), status);
        QVERIFY(h.view.statusLabel()->text() !=
                QuickPasteStatuses::message(QuickPasteStatus::needsPermission));
        QCOMPARE(h.view.setupNote()->isVisible(), !shown.isEmpty());
        QCOMPARE(h.view.quickPasteSwitch()->detail(),
                 advice == 0 && !line.isEmpty() ? line : u"Super+Shift+V"_s);
        if (status == QuickPasteStatus::ready) {
            // The user changes the shortcut in the desktop's settings while quick paste runs.
            h.tap.advice.chord = u"Ctrl+Alt+B"_s;
            h.tap.client->available(true);
            QTRY_COMPARE(h.view.quickPasteSwitch()->detail(), u"Ctrl+Alt+B"_s);
            QVERIFY2(h.view.instructions()->text().contains(u"Press Ctrl+Alt+B to open") &&
                         h.view.instructions()->text().contains(u"holding Ctrl+Alt and press B to step"),
                     qPrintable(h.view.instructions()->text()));
        }
        for (const QString& part : shown.split(u'|', Qt::SkipEmptyParts))
            QVERIFY2(h.view.setupNote()->text().contains(part), qPrintable(h.view.setupNote()->text()));
        QVERIFY(!h.view.grantAccessButton()->isVisible() && !h.view.guideLink()->isVisible());
        QCOMPARE(h.view.retryButton()->isVisible(), status == QuickPasteStatus::failed);
        QTest::mouseClick(h.view.quickPasteSwitch(), Qt::LeftButton);
        QVERIFY(!h.view.setupNote()->isVisible());
    }

    // Quick paste switched on in the open window, after a first time when it was ready: at every
    // status, in every language, the page stays as wide as the window and every control inside it.
    void everyStatusFitsTheWindow_data()
    {
        QTest::addColumn<QuickPasteStatus>("status");
        QTest::addColumn<AppLanguage>("language");
        for (const AppLanguage language :
             {AppLanguage::english, AppLanguage::simplifiedChinese, AppLanguage::traditionalChinese})
            for (const QuickPasteStatus status :
                 {QuickPasteStatus::disabled, QuickPasteStatus::needsPermission, QuickPasteStatus::failed,
                  QuickPasteStatus::ready, QuickPasteStatus::unavailable})
                QTest::addRow("%s %d", qPrintable(AppLanguages::rawValue(language)), int(status))
                    << status << language;
    }
    void everyStatusFitsTheWindow()
    {
        QFETCH(QuickPasteStatus, status);
        QFETCH(AppLanguage, language);
        AppLocalization::shared().select(language);
        Settings h;
        const auto toggleAndSettle = [&h] {
            QTest::mouseClick(h.view.quickPasteSwitch(), Qt::LeftButton);
            for (int pass = 0; pass < 4; ++pass)
                QCoreApplication::sendPostedEvents();
        };
        toggleAndSettle();
        toggleAndSettle();
        h.accessibility.trusted = status != QuickPasteStatus::needsPermission;
        h.tap.canInstall = status != QuickPasteStatus::failed;
        h.tap.supported = status != QuickPasteStatus::unavailable;
        if (status == QuickPasteStatus::unavailable) {
            h.quickPaste.setEnabled(false, false);
            for (int pass = 0; pass < 4; ++pass)
                QCoreApplication::sendPostedEvents();
        } else if (status != QuickPasteStatus::disabled) {
            toggleAndSettle();
        }
        QCOMPARE(h.model->quickPasteStatus(), status);
        const QWidget* viewport = h.view.scrollArea()->viewport();
        QCOMPARE(h.view.scrollArea()->widget()->width(), viewport->width());
        for (const QWidget* control : h.view.scrollArea()->widget()->findChildren<QWidget*>())
            QVERIFY2(!control->isVisible() ||
                         control->mapTo(viewport, QPoint(control->width(), 0)).x() <= viewport->width(),
                     control->metaObject()->className());
    }

    void launchAtLogin_data()
    {
        addColumns<QString, Status, QString>("failure", "after", "message");
        QTest::newRow("failed: error, switch back off")
            << u"No autostart folder"_s << Status::notRegistered << u"No autostart folder"_s;
        QTest::newRow("awaiting approval: stays on")
            << QString() << Status::requiresApproval << L10n::text(L10n::Key::loginApproval);
    }

    // The switch (toggled with Space) and its message, kept across closing and reopening the window.
    void launchAtLogin()
    {
        QFETCH(QString, failure);
        QFETCH(Status, after);
        QFETCH(QString, message);
        Settings h;
        h.loginItems.registerFailure = failure;
        h.loginItems.statusAfterCall = after;
        QTest::keyClick(h.view.launchAtLoginSwitch(), Qt::Key_Space);
        h.controller.window()->close();
        h.controller.present();
        QCOMPARE(h.view.launchAtLoginSwitch()->isChecked(), failure.isEmpty());
        QVERIFY(h.view.launchAtLoginMessage()->isVisible());
        QCOMPARE(h.view.launchAtLoginMessage()->text(), message);
    }

    void escapeAndCtrlWClose_data()
    {
        QTest::addColumn<int>("keys");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << (Qt::ControlModifier | Qt::Key_W).toCombined();
    }
    void escapeAndCtrlWClose()
    {
        QFETCH(int, keys);
        Settings h;
        const QKeyCombination chord = QKeyCombination::fromCombined(keys);
        QTest::keyClick(h.view.pauseRecordingSwitch(), chord.key(), chord.keyboardModifiers());
        QVERIFY(!h.controller.window()->isVisible());
    }

    // The pickers change the language and the theme at once, and the window follows both.
    void languageAndTheme()
    {
        Settings h;
        h.choose(h.view.languagePicker(), 1);
        QCOMPARE(h.controller.window()->windowTitle(), u"Clipwell 设置"_s);
        QCOMPARE(h.view.quickPasteSwitch()->text(), u"快速粘贴"_s);
        QCOMPARE(h.view.themePicker()->text(), u"跟随系统"_s);
        QLabel* error = h.view.launchAtLoginMessage();
        const QColor light = error->palette().color(QPalette::WindowText);
        h.choose(h.view.themePicker(), 2);
        QCOMPARE(h.preferences.stringValue(Preferences::Key::appTheme), u"dark"_s);
        QVERIFY(error->palette().color(QPalette::WindowText) != light);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
