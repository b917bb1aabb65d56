// Screenshots of the history window for people to look at: 200 mixed entries, searching, filtering,
// no matches, paused, empty and unavailable, the narrowest sidebar, every Tab stop with its focus mark
// and the clear-history confirmation, in light and dark, in English, Simplified and Traditional
// Chinese. Run it on a real X display (with a window manager for the frame):
// window_gallery OUTPUT_FOLDER
#include "Gallery.h"
#include "app/AppModel.h"
#include "app/Preferences.h"
#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/common/AppTheme.h"
#include "ui/detail/DetailView.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/history/HistorySidebar.h"
#include "ui/history/HistorySplitController.h"
#include "ui/history/MainWindowController.h"
#include "ui/history/WindowContentController.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray picture(QSize size, QColor top, QColor bottom)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, top);
    sky.setColorAt(1, bottom);
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(0x2E, 0x7D, 0x32));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(size.width() / 3, size.height()), size.width() / 2, size.height() / 3);
    painter.end();
    return encodedImage(image, "png");
}

// Two hundred copies of every kind, newest first, a few minutes apart.
QList<ClipboardEntry> entries()
{
    const double now = Timestamp::now().secondsSinceReferenceDate;
    const QStringList texts = {
        QStringLiteral("Meeting notes — Thursday: ship the clipboard history on Monday"),
        QStringLiteral("git rebase --onto main feature~3 feature"),
        QStringLiteral("我们周一发布剪贴板历史。"),
        QStringLiteral("Dear Ms. Alvarez, thank you for the quick reply. The invoice is attached and the "
                       "delivery is planned for the 14th."),
        QStringLiteral("SELECT id, title FROM entries WHERE kind = 'link' ORDER BY copied_at DESC;"),
        QStringLiteral("會議記錄：週四確認發佈日期"),
    };
    const QStringList links = {QStringLiteral("https://example.com/clipwell/release-notes"),
                               QStringLiteral("https://doc.qt.io/qt-6/qlistview.html"),
                               QStringLiteral("mailto:team@example.com")};
    QList<ClipboardEntry> list;
    for (int index = 0; index < 200; ++index) {
        const double time = now - 60 - index * 420.0;
        switch (index % 7) {
        case 1: {
            const QString address = links[index % links.size()];
            const QString query = address.startsWith(QStringLiteral("mailto:"))
                                      ? QStringLiteral("?subject=Notes%20%1")
                                      : QStringLiteral("?page=%1");
            ClipboardEntry link = makeEntry(address + query.arg(index), time, 0, QStringLiteral("Firefox"));
            link.kind = ClipboardKind::link;
            list.append(refreshed(link));
            break;
        }
        case 3: {
            ClipboardEntry image =
                makeEntry(QStringLiteral("image"), time, 0, QStringLiteral("Image Viewer"));
            image.kind = ClipboardKind::image;
            image.title.clear();
            image.plainText.reset();
            const QSize shape = QList<QSize>{{600, 400}, {300, 480}, {800, 200}}[index % 3];
            image.items = {{{{PasteboardType::png, picture(shape, QColor::fromHsv(index * 37 % 360, 160, 220),
                                                           QColor(0xF5, 0xD0, 0x8A))}}}};
            list.append(refreshed(image));
            break;
        }
        case 5: {
            ClipboardEntry files = makeEntry(QStringLiteral("files"), time, 0, QStringLiteral("Files"));
            files.kind = ClipboardKind::file;
            files.plainText.reset();
            files.items = {
                {{{PasteboardType::fileURL,
                   QStringLiteral("file:///home/user/Documents/Report%20%1.pdf").arg(index).toUtf8()}}},
                {{{PasteboardType::fileURL, "file:///home/user/Pictures/beach.jpg"}}}};
            files.title = ClipboardEntry::classify(files.items, std::nullopt).title;
            list.append(refreshed(files));
            break;
        }
        default:
            list.append(makeEntry(texts[index % texts.size()] + QStringLiteral(" #%1").arg(index), time, 0,
                                  index % 2 ? QStringLiteral("Text Editor") : QStringLiteral("Terminal")));
        }
    }
    return list;
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

struct Scene {
    QString name;
    std::function<void(AppModel&)> set;
};

// A model over its own folder; an unreadable archive when damaged is set.
std::unique_ptr<AppModel> makeModel(const QString& folder, const QList<ClipboardEntry>& list, bool damaged,
                                    Preferences& preferences, Pasteboard& pasteboard, Workspace& workspace)
{
    if (damaged) {
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/history.plist"));
        file.open(QIODevice::WriteOnly);
        file.write("not an archive");
    } else {
        HistoryRepository::write(folder, list);
    }
    auto model = std::make_unique<AppModel>(pasteboard, workspace, preferences, folder,
                                            std::make_unique<ManualDelayTimer>());
    model->start();
    if (!QTest::qWaitFor([&] { return !model->isLoading(); }, 10000))
        qWarning("the history did not load");
    return model;
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
    QTemporaryDir root;
    Preferences preferences(root.filePath(QStringLiteral("Clipwell.conf")));
    FakePasteboard pasteboard;
    FakeWorkspace workspace;

    const QList<Scene> scenes = {
        {QStringLiteral("history"), [](AppModel& model) { model.setSelection(model.entries().at(1).id); }},
        {QStringLiteral("search"), [](AppModel& model) { model.setQuery(QStringLiteral("meeting")); }},
        {QStringLiteral("filter"), [](AppModel& model) { model.setFilter(ClipboardKind::image); }},
        {QStringLiteral("nomatch"),
         [](AppModel& model) { model.setQuery(QStringLiteral("zebra crossing")); }},
        {QStringLiteral("paused"), [](AppModel& model) { model.setRecordingPaused(true); }},
    };
    const QList<ClipboardEntry> history = entries();

    for (const AppTheme theme : galleryThemes) {
        AppThemes::apply(theme);
        for (const AppLanguage language : galleryLanguages) {
            AppLocalization::shared().select(language);
            const QString prefix = lookPrefix(output, theme) + QStringLiteral("-");
            // The frame as the window manager draws it, where there is one.
            const auto grabFramed = [](QWidget* window, const QString& path) {
                const QRect frame = window->frameGeometry();
                window->screen()
                    ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                    .save(path);
            };
            auto shoot = [&](AppModel& model, const QString& name, bool framed,
                             const std::function<void(AppModel&)>& set) {
                MainWindowController controller(model, preferences, new DetailView(model), [] {});
                controller.setMenuBar(menuBar());
                controller.present();
                if (set)
                    set(model);
                QTest::qWait(1200);
                QMainWindow* window = controller.window();
                window->grab().save(prefix + name + QStringLiteral(".png"));
                if (framed)
                    grabFramed(window, prefix + name + QStringLiteral("-framed.png"));
                if (name != QStringLiteral("history"))
                    return;
                // Every Tab stop in turn, with what has the focus.
                QWidget* first = QApplication::focusWidget();
                for (int stop = 0; stop < 12; ++stop) {
                    QWidget* focus = QApplication::focusWidget();
                    qInfo("%s focus %d: %s %s", qPrintable(prefix.section(u'/', -1)), stop,
                          focus ? focus->metaObject()->className() : "none",
                          focus ? qPrintable(focus->accessibleName()) : "");
                    window->grab().save(prefix + QStringLiteral("focus-%1.png").arg(stop));
                    QTest::keyClick(window, Qt::Key_Tab);
                    QTest::qWait(100);
                    if (QApplication::focusWidget() == first)
                        break;
                }
                auto* sidebar = qobject_cast<HistorySidebar*>(controller.splitController()->sidebar());
                sidebar->confirmClear();
                QTest::qWait(600);
                ClearHistoryDialog* dialog = sidebar->clearConfirmation();
                dialog->grab().save(prefix + QStringLiteral("clear.png"));
                grabFramed(dialog, prefix + QStringLiteral("clear-framed.png"));
                dialog->reject();
            };
            for (const Scene& scene : scenes) {
                const QString folder = root.filePath(prefix.section(u'/', -1) + scene.name);
                std::unique_ptr<AppModel> model =
                    makeModel(folder, history, false, preferences, pasteboard, workspace);
                shoot(*model, scene.name, scene.name == QStringLiteral("history"), scene.set);
                model->setRecordingPaused(false);
            }
            // The narrowest sidebar the divider allows.
            preferences.setDouble(Preferences::Key::historySidebarWidth, 1);
            {
                std::unique_ptr<AppModel> model =
                    makeModel(root.filePath(prefix.section(u'/', -1) + QStringLiteral("narrow")), history,
                              false, preferences, pasteboard, workspace);
                shoot(*model, QStringLiteral("narrow"), false, {});
            }
            preferences.setDouble(Preferences::Key::historySidebarWidth, 0);
            std::unique_ptr<AppModel> empty =
                makeModel(root.filePath(prefix.section(u'/', -1) + QStringLiteral("empty")), {}, false,
                          preferences, pasteboard, workspace);
            shoot(*empty, QStringLiteral("empty"), false, {});
            std::unique_ptr<AppModel> unavailable =
                makeModel(root.filePath(prefix.section(u'/', -1) + QStringLiteral("unavailable")), {}, true,
                          preferences, pasteboard, workspace);
            shoot(*unavailable, QStringLiteral("unavailable"), false, {});
        }
    }
    return 0;
}
