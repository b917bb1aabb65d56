// A text field in front of quick paste, on Qt widgets like many real applications. Prints "ready"
// once its window is active, then "text <json>" whenever the text changes, "key <name> <modifiers>"
// for every key press that reaches it, and "focus out" / "focus in" when its window loses or regains
// the keyboard. "--app-id NAME" names it to the window manager (the app_id on
// Wayland) as the application of the desktop entry NAME.desktop.
#include <QApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QWindow>

namespace {

QTextStream out(stdout);

class KeyLog final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            out << "key " << QKeySequence(key->key()).toString() << ' ' << int(key->modifiers()) << Qt::endl;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("testfield"));
    if (const qsizetype at = QApplication::arguments().indexOf(QStringLiteral("--app-id")); at > 0)
        QGuiApplication::setDesktopFileName(QApplication::arguments().value(at + 1));
    QPlainTextEdit field;
    field.setWindowTitle(QStringLiteral("Test Field"));
    field.resize(500, 200);
    KeyLog keys;
    field.installEventFilter(&keys);
    QObject::connect(&field, &QPlainTextEdit::textChanged, [&field] {
        const QByteArray text =
            QJsonDocument::fromVariant(QVariantList{field.toPlainText()}).toJson(QJsonDocument::Compact);
        out << "text " << text.mid(1, text.size() - 2) << Qt::endl;
    });
    bool announced = false;
    QObject::connect(&application, &QGuiApplication::applicationStateChanged,
                     [&](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive && !std::exchange(announced, true))
                             out << "ready" << Qt::endl;
                     });
    QObject::connect(&application, &QGuiApplication::focusWindowChanged, [&announced](QWindow* window) {
        if (announced)
            out << (window ? "focus in" : "focus out") << Qt::endl;
    });
    field.show();
    return QApplication::exec();
}
