#include "app/QuickPasteController.h"

#include "app/AppModel.h"
#include "app/Preferences.h"
#include "app/QuickPastePopup.h"
#include "models/QuickPasteLog.h"
#include "platform/Accessibility.h"
#include "platform/EventTap.h"
#include "platform/KeystrokePoster.h"
#include "platform/Workspace.h"
#include "services/DelayTimer.h"

#include <QGuiApplication>
#include <QPointer>

namespace {

std::unique_ptr<DelayTimer> orReal(std::unique_ptr<DelayTimer> timer)
{
    return timer ? std::move(timer) : std::make_unique<QtDelayTimer>();
}

} // namespace

QuickPasteController::QuickPasteController(AppModel& model, Preferences& preferences, Platform platform,
                                           std::unique_ptr<QuickPastePopup> popup, Timers timers,
                                           QObject* parent)
    : QObject(parent), m_model(model), m_preferences(preferences), m_platform(platform),
      m_monitor(std::make_unique<GlobalShortcutMonitor>(platform.tap, platform.accessibility)),
      m_popup(std::move(popup)), m_pasteTimer(orReal(std::move(timers.paste))),
      m_permissionTimer(orReal(std::move(timers.permissionPoll))),
      m_chordReleaseTimer(orReal(std::move(timers.chordRelease))),
      m_chordRelease(platform.tap, *m_chordReleaseTimer)
{
    // Asked on the input thread while every keyboard waits: the answer is kept ready here.
    m_monitor->canStart = [this] { return m_mayStart.load(); };
    m_monitor->onStart = [this] { begin(); };
    m_monitor->onCycle = [this](QuickPasteSession::Direction direction, bool isRepeat) {
        if (!m_session)
            return;
        const qsizetype before = m_session->selectedIndex;
        m_session->triggerDown(direction, isRepeat);
        if (m_session->selectedIndex != before)
            showSelection();
    };
    m_monitor->onTriggerUp = [this](QuickPasteSession::Direction direction) {
        if (m_session)
            m_session->heldDirections.remove(direction);
    };
    m_monitor->onRelease = [this] {
        if (m_session && !m_session->candidates.isEmpty())
            finish(m_session->candidates.at(m_session->selectedIndex), false);
        else
            discard();
    };
    m_monitor->onCancel = [this] { discard(); };
    m_monitor->onStatus = [this](QuickPasteStatus status) {
        m_model.setQuickPasteStatus(status);
        updatePermissionPolling(status);
    };
    m_popup->onSelect = [this](const QUuid& id) { selectAndPaste(id); };
    m_model.cancelQuickPaste = [monitor = m_monitor.get()] { monitor->cancel(); };

    const auto cancel = [monitor = m_monitor.get()] { monitor->cancel(); };
    const auto activated = [this] {
        // Only another application in front sends the paste astray. Where the popup holds the keyboard
        // (Wayland), the compositor reports none in front while it shows and the target again once it
        // is gone; a chord whose session has not begun yet takes whatever is in front when it does.
        const std::optional<RunningApplication> frontmost = m_platform.workspace.frontmostApplication();
        if (m_target && frontmost && *frontmost != m_target->application)
            m_monitor->cancel();
        updateFrontmost();
    };
    m_platform.workspace.observe({activated, cancel, cancel, cancel});
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) { setApplicationActive(state == Qt::ApplicationActive); });
    }
    connect(&m_model, &AppModel::isLoadingChanged, this, &QuickPasteController::updateMayStart);
    connect(&m_model, &AppModel::needsRecoveryChanged, this, &QuickPasteController::updateMayStart);
    updateFrontmost();
}

QuickPasteController::~QuickPasteController()
{
    stop();
    m_model.cancelQuickPaste = nullptr;
}

void QuickPasteController::updateMayStart()
{
    m_mayStart = !m_model.isLoading() && !m_model.needsRecovery() && !m_inFront;
}

void QuickPasteController::updateFrontmost()
{
    // The window manager's word, not the toolkit's: the toolkit reports leaving the front late.
    const std::optional<RunningApplication> frontmost = m_platform.workspace.frontmostApplication();
    m_inFront = frontmost && frontmost->processIdentifier == QCoreApplication::applicationPid();
    updateMayStart();
}

void QuickPasteController::setApplicationActive(bool active)
{
    if (active == m_applicationActive)
        return;
    m_applicationActive = active;
    if (active)
        refreshStatus();
}

void QuickPasteController::setEnabled(bool enabled, bool requestPermission)
{
    m_model.setQuickPasteEnabled(enabled);
    m_preferences.setBool(Preferences::Key::quickPasteEnabled, enabled);
    if (enabled)
        m_monitor->start(requestPermission);
    else
        m_monitor->stop();
}

void QuickPasteController::requestPermission()
{
    if (m_model.quickPasteEnabled()) {
        m_monitor->stop();
        m_monitor->start(true);
    }
    if (m_model.quickPasteStatus() == QuickPasteStatus::needsPermission)
        openAccessibilitySettings();
}

void QuickPasteController::refreshStatus()
{
    if (!m_model.quickPasteEnabled())
        return;
    // A tap in place that may still work stays: putting it up again would end a chord under way.
    if (m_model.quickPasteStatus() == QuickPasteStatus::ready && m_platform.tap.isInstalled() &&
        m_platform.accessibility.isProcessTrusted())
        return;
    m_monitor->stop();
    m_monitor->start(false);
}

bool QuickPasteController::openAccessibilitySettings()
{
    return m_platform.accessibility.openAccessibilitySettings();
}

bool QuickPasteController::isProcessTrusted() const
{
    return m_platform.accessibility.isProcessTrusted();
}

bool QuickPasteController::isAvailable() const
{
    return m_platform.tap.isSupported();
}

QuickPasteSetup QuickPasteController::setup() const
{
    return m_platform.tap.setup();
}

void QuickPasteController::stop()
{
    m_monitor->stop();
    m_platform.workspace.observe({});
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        disconnect(application, nullptr, this, nullptr);
}

void QuickPasteController::begin()
{
    discard();
    std::optional<PasteTarget> target;
    if (!m_model.isLoading() && !m_model.needsRecovery() && m_platform.accessibility.isProcessTrusted())
        target = PasteTarget::capture(m_platform.workspace);
    if (!target) {
        qCInfo(lcQuickPaste) << "Session rejected: target, history, or permission unavailable";
        m_monitor->cancel();
        return;
    }
    m_target = std::move(target);
    m_session = QuickPasteSession::over(m_model.entries());
    qCInfo(lcQuickPaste).noquote()
        << QStringLiteral("Session started with %1 candidates").arg(m_session->candidates.size());
    showSelection();
}

void QuickPasteController::showSelection()
{
    if (!m_session)
        return;
    qCDebug(lcQuickPaste).noquote()
        << QStringLiteral("Showing quick paste with %1 candidates").arg(m_session->candidates.size());
    const QString name = m_target ? m_target->application.localizedName.value_or(QString()) : QString();
    m_popup->show(*m_session, name);
    m_monitor->setPopupFrame(m_popup->eventFrame());
}

void QuickPasteController::discard()
{
    if (!m_session && !m_target && !m_pendingPaste)
        return;
    qCDebug(lcQuickPaste) << "Session cancelled or replaced";
    m_pasteTimer->cancel();
    m_chordRelease.cancel();
    m_pendingPaste = false;
    m_session.reset();
    m_target.reset();
    m_monitor->setPopupFrame(std::nullopt);
    m_popup->hide();
}

void QuickPasteController::finish(const ClipboardEntry& entry, bool whileHoldingShortcut)
{
    if (!m_target) {
        discard();
        return;
    }
    qCInfo(lcQuickPaste) << "Selection committed; scheduling paste";
    // The target stays while the paste is pending, so that its own activation does not cancel it.
    const PasteTarget target = *m_target;
    m_session.reset();
    m_monitor->setPopupFrame(std::nullopt);
    m_popup->hide();
    m_pendingPaste = true;
    const auto since = m_pasteTimer->now();
    m_pasteTimer->start(pasteDelay, [this, target, entry, whileHoldingShortcut, since] {
        paste(target, entry, whileHoldingShortcut, since);
    });
}

void QuickPasteController::endPaste()
{
    m_pendingPaste = false;
    m_target.reset();
}

void QuickPasteController::paste(const PasteTarget& target, const ClipboardEntry& entry,
                                 bool whileHoldingShortcut, std::chrono::steady_clock::time_point since)
{
    // Where the popup held the keyboard, the compositor gives it back to the target a moment after the
    // popup is gone; the shortcut and the keys to type depend on the window in front.
    if (m_platform.workspace.frontmostApplication() != target.application) {
        if (m_pasteTimer->now() - since >= pasteDelay + activationLimit) {
            qCInfo(lcQuickPaste) << "Paste cancelled: the target did not come back to the front";
            endPaste();
            return giveUp();
        }
        m_pasteTimer->start(ChordReleaseWait::pollInterval,
                            [this, target, entry, whileHoldingShortcut, since] {
                                paste(target, entry, whileHoldingShortcut, since);
                            });
        return;
    }
    const quint64 flags = m_platform.tap.currentModifierFlags();
    if (!whileHoldingShortcut && (flags & (TapEvent::shiftFlag | TapEvent::controlFlag |
                                           TapEvent::optionFlag | TapEvent::commandFlag))) {
        qCInfo(lcQuickPaste) << "Paste cancelled: modifiers are still down";
        endPaste();
        return giveUp();
    }
    const PasteShortcut shortcut = pasteShortcut();
    std::shared_ptr<KeystrokePoster::Keystroke> keystroke = m_platform.keystrokes.create(shortcut);
    if (!keystroke) {
        endPaste();
        m_model.setErrorMessage(AppMessage{L10n::Key::pasteEventFailed, std::nullopt});
        return;
    }
    // Typed keys cannot lift a Super or Shift the user holds, and the application would see them with
    // the paste; a key of the shortcut still down (the chord's V) would swallow the typed one. Wait
    // until they are up.
    m_chordRelease.start([keystroke] { return keystroke->keysAreUp(); },
                         [this, target, entry, shortcut, keystroke](bool released) {
                             endPaste();
                             if (!released) {
                                 qCInfo(lcQuickPaste) << "Paste cancelled: the chord's keys stayed down";
                                 return giveUp();
                             }
                             pasteNow(target, entry, shortcut, *keystroke);
                         });
}

PasteShortcut QuickPasteController::pasteShortcut() const
{
    const PasteShortcutTable table(m_preferences.stringListValue(Preferences::Key::pasteWithControlShiftV),
                                   m_preferences.stringListValue(Preferences::Key::pasteWithShiftInsert));
    return table.shortcutFor(m_platform.workspace.frontmostWindowClasses());
}

void QuickPasteController::pasteNow(const PasteTarget& target, const ClipboardEntry& entry,
                                    PasteShortcut shortcut, KeystrokePoster::Keystroke& keystroke)
{
    if (m_platform.tap.isSecureEventInputEnabled() || !m_platform.accessibility.isProcessTrusted() ||
        !target.isStillCurrent(m_platform.workspace)) {
        qCInfo(lcQuickPaste) << "Paste cancelled: typing is not allowed or the target changed";
        return giveUp();
    }
    // Shift+Insert pastes the selection of the X tradition, not the clipboard: both get the entry.
    if (!m_model.copy(entry, shortcut == PasteShortcut::shiftInsert))
        return;
    // Focus moved while the copy was written: the entry stays on the clipboard, nothing is typed.
    if (!target.isStillCurrent(m_platform.workspace))
        return;
    if (!keystroke.post())
        m_model.setErrorMessage(AppMessage{L10n::Key::pasteEventFailed, std::nullopt});
    else
        qCInfo(lcQuickPaste) << "Paste typed";
}

void QuickPasteController::giveUp()
{
    m_model.setActivityMessage(AppMessage{L10n::Key::pasteCancelled, std::nullopt});
}

void QuickPasteController::selectAndPaste(const QUuid& id)
{
    if (!m_session)
        return;
    const auto found = std::find_if(m_session->candidates.cbegin(), m_session->candidates.cend(),
                                    [&id](const ClipboardEntry& entry) { return entry.id == id; });
    if (found == m_session->candidates.cend())
        return;
    const quint64 flags = m_platform.tap.currentModifierFlags();
    if (!m_monitor->active() ||
        (flags & GlobalShortcutMonitor::chordModifierMask) != GlobalShortcutMonitor::chordModifiers)
        return;
    const ClipboardEntry entry = *found;
    m_monitor->finishChord();
    finish(entry, true);
}

void QuickPasteController::updatePermissionPolling(QuickPasteStatus status)
{
    if (status == QuickPasteStatus::needsPermission && m_model.quickPasteEnabled()) {
        if (!m_polling) {
            m_polling = true;
            m_permissionTimer->start(permissionPollInterval, [this] { pollPermission(); });
        }
        return;
    }
    m_polling = false;
    m_permissionTimer->cancel();
}

void QuickPasteController::pollPermission()
{
    m_permissionTimer->start(permissionPollInterval, [this] { pollPermission(); });
    if (m_model.quickPasteEnabled() && m_model.quickPasteStatus() == QuickPasteStatus::needsPermission &&
        m_platform.accessibility.isProcessTrusted()) {
        m_monitor->stop();
        m_monitor->start(false);
    }
}
