#include "app/MainMenu.h"

#include "app/Localization.h"

#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QWidget>

namespace MainMenu {

namespace {

using L10n::Key;

void addItem(QMenu* menu, const QString& title, const QString& shortcut, const std::function<void()>& action)
{
    QAction* item = menu->addAction(title);
    if (!shortcut.isEmpty())
        item->setShortcut(QKeySequence(shortcut));
    if (action)
        QObject::connect(item, &QAction::triggered, item, [action] { action(); });
    else
        item->setEnabled(false);
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

} // namespace

QMenuBar* build(const AppLocalization& localization, const Actions& actions)
{
    const auto text = [&localization](Key key) { return localization.text(key); };
    auto* bar = new QMenuBar;

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
    addItem(edit, text(Key::undo), QStringLiteral("Ctrl+Z"), [] { sendToFocusWidget("undo()"); });
    addItem(edit, text(Key::cut), QStringLiteral("Ctrl+X"), [] { sendToFocusWidget("cut()"); });
    addItem(edit, text(Key::copy), QStringLiteral("Ctrl+C"), [] { sendToFocusWidget("copy()"); });
    addItem(edit, text(Key::paste), QStringLiteral("Ctrl+V"), [] { sendToFocusWidget("paste()"); });
    addItem(edit, text(Key::selectAll), QStringLiteral("Ctrl+A"), [] { sendToFocusWidget("selectAll()"); });

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
