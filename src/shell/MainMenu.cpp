#include "shell/MainMenu.h"

#include "l10n/Localization.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QWidget>

namespace MainMenu {

namespace {

using L10n::Key;

QAction* addItem(QMenu* menu, const QString& title, const QString& shortcut,
                 const std::function<void()>& action)
{
    QAction* item = menu->addAction(title);
    if (!shortcut.isEmpty())
        item->setShortcut(QKeySequence(shortcut));
    // Only editing repeats while its keys are held. A held Ctrl+W (or one a test tool never released)
    // auto-repeats into whichever window has the focus, and would close the history window again each
    // time it is brought back.
    item->setAutoRepeat(false);
    if (action)
        QObject::connect(item, &QAction::triggered, item, [action] { action(); });
    else
        item->setEnabled(false);
    return item;
}

// The standard edit slots (undo(), cut(), copy(), paste(), selectAll()) of text fields and views.
void sendToFocusWidget(const char* slot)
{
    QWidget* widget = QApplication::focusWidget();
    if (!widget)
        return;
    const int index = widget->metaObject()->indexOfSlot(slot);
    if (index >= 0)
        widget->metaObject()->method(index).invoke(widget);
}

void addEditItem(QMenu* menu, const QString& title, const QString& shortcut, const char* slot)
{
    addItem(menu, title, shortcut, [slot] { sendToFocusWidget(slot); })->setAutoRepeat(true);
}

// Keeps auto-repeats away from the bar's items that do not repeat. Qt flags an X11 repeat only when
// the server's release and press are both queued as it looks, so a press with the key and the time
// of the release just before it counts as a repeat too.
class RepeatGuard final : public QObject {
public:
    explicit RepeatGuard(QMenuBar* bar) : QObject(bar), m_bar(bar) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            m_lastReleaseKey = key->key();
            m_lastReleaseTime = key->timestamp();
        } else if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Events sent by other clients may all carry time 0.
            const bool repeat =
                key->isAutoRepeat() || (key->timestamp() != 0 && key->key() == m_lastReleaseKey &&
                                        key->timestamp() == m_lastReleaseTime);
            if (repeat && isOneShotShortcut(QKeySequence(key->keyCombination()))) {
                // Accepted, the press goes to the focused widget as a plain key instead.
                key->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool isOneShotShortcut(const QKeySequence& sequence) const
    {
        for (const QAction* top : m_bar->actions()) {
            const QMenu* menu = top->menu();
            for (const QAction* item : menu ? menu->actions() : QList<QAction*>()) {
                if (!item->autoRepeat() && item->shortcut() == sequence)
                    return true;
            }
        }
        return false;
    }

    QMenuBar* m_bar;
    int m_lastReleaseKey = 0;
    quint64 m_lastReleaseTime = 0;
};

} // namespace

QMenuBar* build(const AppLocalization& localization, const Actions& actions)
{
    const auto text = [&localization](Key key) { return localization.text(key); };
    auto* bar = new QMenuBar;
    new RepeatGuard(bar);

    // The application's name stays untranslated, as it does in the panel and the window list.
    QMenu* application = bar->addMenu(QStringLiteral("Clipwell"));
    addItem(application, text(Key::aboutApp), QString(), actions.showAbout);
    application->addSeparator();
    addItem(application, text(Key::settingsMenu), QStringLiteral("Ctrl+,"), actions.showSettings);
    addItem(application, text(Key::openHistory), QStringLiteral("Ctrl+0"), actions.showHistory);
    application->addSeparator();
    addItem(application, text(Key::hideApp), QStringLiteral("Ctrl+H"), actions.hideApplication);
    application->addSeparator();
    addItem(application, text(Key::quitApp), QStringLiteral("Ctrl+Q"), actions.quit);

    QMenu* edit = bar->addMenu(text(Key::editMenu));
    addEditItem(edit, text(Key::undo), QStringLiteral("Ctrl+Z"), "undo()");
    addEditItem(edit, text(Key::cut), QStringLiteral("Ctrl+X"), "cut()");
    addEditItem(edit, text(Key::copy), QStringLiteral("Ctrl+C"), "copy()");
    addEditItem(edit, text(Key::paste), QStringLiteral("Ctrl+V"), "paste()");
    addEditItem(edit, text(Key::selectAll), QStringLiteral("Ctrl+A"), "selectAll()");

    QMenu* window = bar->addMenu(text(Key::windowMenu));
    addItem(window, text(Key::minimize), QStringLiteral("Ctrl+M"), [] {
        if (QWidget* active = QApplication::activeWindow())
            active->showMinimized();
    });
    // Closing the history window only hides it.
    addItem(window, text(Key::close), QStringLiteral("Ctrl+W"), [] {
        if (QWidget* active = QApplication::activeWindow())
            active->close();
    });
    return bar;
}

} // namespace MainMenu
