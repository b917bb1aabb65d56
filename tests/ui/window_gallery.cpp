// Screenshots of the history window for people to look at, with a few entries and a menu bar, in
// light and dark, in English and Simplified Chinese. Run it on a real X display (with a window manager
// for the frame): window_gallery OUTPUT_FOLDER
#include "app/AppModel.h"
#include "app/Localization.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/AppTheme.h"
#include "ui/MainWindowController.h"
#include "ui/WindowContentController.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray picture()
{
    QImage image(QSize(900, 600), QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor(0x4A, 0x90, 0xE2));
    sky.setColorAt(1, QColor(0xF5, 0xD0, 0x8A));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(0x2E, 0x7D, 0x32));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(300, 600), 450, 200);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

QList<ClipboardEntry> entries()
{
    const double now = Timestamp::now().secondsSinceReferenceDate;
    ClipboardEntry link = makeEntry(QStringLiteral("https://example.com/clipwell/release-notes"), now - 600,
                                    0, QStringLiteral("Firefox"));
    link.kind = ClipboardKind::link;
    ClipboardEntry image = makeEntry(QStringLiteral("image"), now - 1800, 0, QStringLiteral("Image Viewer"));
    image.kind = ClipboardKind::image;
    image.title.clear();
    image.plainText.reset();
    image.items = {{{{PasteboardType::png, picture()}}}};
    image.fingerprint = ClipboardEntry::fingerprintOf(image.items);
    return {
        makeEntry(QStringLiteral("Meeting notes — Thursday: ship the clipboard history on Monday"), now - 60,
                  0, QStringLiteral("Text Editor")),
        link,
        image,
        makeEntry(QStringLiteral("git rebase --onto main feature~3 feature"), now - 7200, 0,
                  QStringLiteral("Terminal")),
        makeEntry(QStringLiteral("我们周一发布剪贴板历史。"), now - 90000, 0, QStringLiteral("Notes")),
    };
}

QMenuBar* menuBar()
{
    auto* bar = new QMenuBar;
    QMenu* app = bar->addMenu(QStringLiteral("Clipwell"));
    app->addAction(L10n::text(L10n::Key::settingsMenu));
    app->addSeparator();
    app->addAction(L10n::text(L10n::Key::quitApp));
    bar->addMenu(L10n::text(L10n::Key::editMenu))->addAction(L10n::text(L10n::Key::undo));
    bar->addMenu(L10n::text(L10n::Key::windowMenu))->addAction(L10n::text(L10n::Key::minimize));
    return bar;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc < 2) {
        qWarning("usage: window_gallery OUTPUT_FOLDER");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    QTemporaryDir root;
    Preferences preferences(root.filePath(QStringLiteral("Clipwell.conf")));
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    HistoryRepository::write(root.filePath(QStringLiteral("history")), entries());
    AppModel model(pasteboard, workspace, preferences, root.filePath(QStringLiteral("history")),
                   std::make_unique<ManualDelayTimer>());
    model.start();
    if (!QTest::qWaitFor([&] { return !model.isLoading(); }, 10000))
        return 1;
    model.setSelection(model.entries().first().id);

    MainWindowController controller(model, preferences, [] {});
    QMainWindow* window = controller.window();
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        AppThemes::apply(theme);
        for (const AppLanguage language : {AppLanguage::english, AppLanguage::simplifiedChinese}) {
            AppLocalization::shared().select(language);
            controller.setMenuBar(menuBar());
            controller.present();
            QTest::qWait(1500);
            const QString name =
                QStringLiteral("%1/window-%2-%3")
                    .arg(output, AppThemes::rawValue(theme), AppLocalization::shared().languageIdentifier());
            window->grab().save(name + QStringLiteral(".png"));
            // The frame as the window manager draws it, where there is one.
            const QRect frame = window->frameGeometry();
            window->screen()
                ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .save(name + QStringLiteral("-framed.png"));
            // A menu title under the pointer.
            QMenuBar* bar = controller.contentController()->menuBar();
            QTest::mouseMove(bar, bar->actionGeometry(bar->actions().at(1)).center());
            QTest::qWait(300);
            window->grab(QRect(0, 0, window->width(), 120)).save(name + QStringLiteral("-hover.png"));
            QTest::mouseMove(window, window->rect().center());
        }
    }
    return 0;
}
