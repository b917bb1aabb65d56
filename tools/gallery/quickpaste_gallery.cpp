// Screenshots of the quick paste popup for people to look at: one image and five texts, twenty entries
// with the twelfth selected (scrolled into view), and an empty history; in light and dark, in English
// and Traditional Chinese. Run it on an X display: quickpaste_gallery OUTPUT_FOLDER
#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "ui/common/AppTheme.h"
#include "ui/quickpaste/QuickPastePanelController.h"
#include "ui/quickpaste/QuickPasteView.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace {

ClipboardEntry picture(double time)
{
    QImage image(640, 420, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor(0x6A, 0xA8, 0xE8));
    sky.setColorAt(1, QColor(0xF5, 0xD0, 0x8A));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(0x2E, 0x7D, 0x32));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(200, 420), 320, 140);
    painter.end();
    ClipboardEntry entry = makeEntry(QStringLiteral("image"), time, 0, QStringLiteral("Image Viewer"));
    entry.kind = ClipboardKind::image;
    entry.title.clear();
    entry.plainText.reset();
    entry.items = {{{{PasteboardType::png, encodedImage(image, "png")}}}};
    return refreshed(entry);
}

QList<ClipboardEntry> texts(int count, double now)
{
    const QStringList samples = {
        QStringLiteral("Meeting notes — Thursday: ship the clipboard history on Monday"),
        QStringLiteral("git rebase --onto main feature~3 feature"),
        QStringLiteral("會議記錄：週四確認發佈日期，下週一正式上線。"),
        QStringLiteral("Dear Ms. Alvarez, thank you for the quick reply. The invoice is attached and the "
                       "delivery is planned for the 14th."),
        QStringLiteral("https://example.com/clipwell/release-notes"),
    };
    QList<ClipboardEntry> list;
    for (int index = 0; index < count; ++index) {
        ClipboardEntry entry = makeEntry(
            samples[index % samples.size()] + QStringLiteral(" #%1").arg(index + 1), now - 90 - index * 400.0,
            0, index % 2 ? QStringLiteral("Terminal") : QStringLiteral("Firefox"));
        if (index % samples.size() == 4)
            entry.kind = ClipboardKind::link;
        list.append(refreshed(entry));
    }
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: quickpaste_gallery OUTPUT_FOLDER");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    const double now = Timestamp::now().secondsSinceReferenceDate;

    struct Scene {
        QString name;
        QuickPasteSession session;
        QString application;
    };
    QList<ClipboardEntry> mixed{picture(now - 30)};
    mixed += texts(5, now);
    QuickPasteSession twenty = QuickPasteSession::over(texts(20, now));
    twenty.selectedIndex = 11;
    const QList<Scene> scenes = {
        {QStringLiteral("mixed"), QuickPasteSession::over(mixed), QStringLiteral("Text Editor")},
        {QStringLiteral("twenty"), twenty, QStringLiteral("Terminal")},
        {QStringLiteral("empty"), QuickPasteSession::over({}), QString()}};

    QuickPastePanelController controller;
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        AppThemes::apply(theme);
        for (const AppLanguage language : {AppLanguage::english, AppLanguage::traditionalChinese}) {
            AppLocalization::shared().select(language);
            for (const Scene& scene : scenes) {
                controller.show(scene.session, scene.application);
                // Thumbnails decode on their own thread.
                QTest::qWait(700);
                const QRect frame = controller.panel().geometry().adjusted(-16, -16, 16, 16);
                const QString path = QStringLiteral("%1/%2-%3-%4.png")
                                         .arg(output, AppThemes::rawValue(theme),
                                              AppLocalization::shared().languageIdentifier(), scene.name);
                controller.panel()
                    .screen()
                    ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                    .save(path);
                qInfo("%s: %s", qPrintable(path), qPrintable(controller.panel().accessibleName()));
                controller.hide();
            }
        }
    }
    return 0;
}
