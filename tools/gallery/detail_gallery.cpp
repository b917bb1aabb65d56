// Screenshots of the detail pane for people to look at: every kind of entry and the error banner,
// in light and dark, in English and Simplified Chinese. Usage: detail_gallery OUTPUT_FOLDER
#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/EncodedImage.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/common/AppTheme.h"
#include "ui/detail/DetailView.h"
#include "ui/detail/EntryPreview.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray photo(QSize size, QImageIOHandler::Transformations transformation, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x4A, 0x90, 0xE2));
    sky.setColorAt(1, QColor(0xF5, 0xD0, 0x8A));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(0x2E, 0x7D, 0x32));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(size.width() / 3, size.height()), size.width() / 2, size.height() / 3);
    painter.setBrush(QColor(0xFF, 0xEB, 0x3B));
    painter.drawEllipse(QPoint(size.width() * 3 / 4, size.height() / 4), size.height() / 10,
                        size.height() / 10);
    painter.end();
    return encodedImage(image, format, transformation);
}

ClipboardEntry withItems(ClipboardEntry entry, ClipboardKind kind, QList<PasteboardItemSnapshot> items,
                         std::optional<QString> text)
{
    entry.kind = kind;
    entry.items = std::move(items);
    entry.plainText = std::move(text);
    return entry;
}

QList<ClipboardEntry> entries(const QString& folder)
{
    const QString existing = folder + QStringLiteral("/Quarterly report.pdf");
    QFile file(existing);
    file.open(QIODevice::WriteOnly);
    file.write("%PDF-1.4");
    const QString text =
        QStringLiteral("Meeting notes — Thursday\n\nWe agreed to ship the clipboard history on Monday. "
                       "我们周一发布剪贴板历史。\n"
                       "• Search must ignore accents: café = cafe\n• Images keep their orientation");
    // Copied a few minutes apart, this morning.
    const double now = Timestamp::now().secondsSinceReferenceDate;
    return {
        withItems(makeEntry(QStringLiteral("text"), now - 60, 0, QStringLiteral("Text Editor")),
                  ClipboardKind::text, {{{{PasteboardType::plainText, text.toUtf8()}}}}, text),
        withItems(makeEntry(QStringLiteral("link"), now - 600, 0, QStringLiteral("Firefox")),
                  ClipboardKind::link,
                  {{{{PasteboardType::plainText, "https://example.com/clipwell/release-notes"}}}},
                  QStringLiteral("https://example.com/clipwell/release-notes")),
        withItems(makeEntry(QStringLiteral("landscape"), now - 1800, 0, QStringLiteral("Image Viewer")),
                  ClipboardKind::image, {{{{PasteboardType::png, photo(QSize(1600, 1000), {}, "png")}}}},
                  std::nullopt),
        withItems(makeEntry(QStringLiteral("rotated"), now - 3600, 0, QStringLiteral("Camera")),
                  ClipboardKind::image,
                  {{{{PasteboardType::tiff,
                      photo(QSize(1200, 800), QImageIOHandler::TransformationRotate90, "jpeg")}}}},
                  std::nullopt),
        withItems(makeEntry(QStringLiteral("files"), now - 7200, 0, QString()), ClipboardKind::file,
                  {{{{PasteboardType::fileURL, QUrl::fromLocalFile(existing).toEncoded()}}},
                   {{{PasteboardType::fileURL, "file:///home/user/Pictures/Holiday%202025/beach.jpg"}}}},
                  std::nullopt),
    };
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc < 2) {
        qWarning("usage: detail_gallery OUTPUT_FOLDER");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    QTemporaryDir root;
    const QList<ClipboardEntry> history = entries(root.path());
    Preferences preferences(root.filePath(QStringLiteral("Clipwell.conf")));
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    HistoryRepository::write(root.filePath(QStringLiteral("history")), history);
    AppModel model(pasteboard, workspace, preferences, root.filePath(QStringLiteral("history")),
                   std::make_unique<ManualDelayTimer>());
    model.start();
    if (!QTest::qWaitFor([&] { return !model.isLoading(); }, 10000))
        return 1;

    DetailView view(model);
    view.resize(720, 540);
    view.show();
    const QStringList names{QStringLiteral("text"), QStringLiteral("link"), QStringLiteral("image"),
                            QStringLiteral("image-rotated"), QStringLiteral("files")};
    for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
        AppThemes::apply(theme);
        for (const AppLanguage language : {AppLanguage::english, AppLanguage::simplifiedChinese}) {
            AppLocalization::shared().select(language);
            const QString suffix = QStringLiteral("-%1-%2").arg(
                AppThemes::rawValue(theme), AppLocalization::shared().languageIdentifier());
            for (qsizetype i = 0; i < history.size(); ++i) {
                model.setSelection(model.entries()[i].id);
                model.setErrorMessage(std::nullopt);
                if (i == 4) {
                    model.setErrorMessage(
                        AppMessage{L10n::Key::historySaveFailed,
                                   AppError::fixed(QStringLiteral("No space left on device"))});
                    model.setActivityMessage(AppMessage{L10n::Key::copyTooLarge, std::nullopt});
                } else {
                    model.setActivityMessage(std::nullopt);
                }
                // Let the image previews decode.
                QTest::qWait(i == 2 || i == 3 ? 1500 : 150);
                view.grab().save(output + u'/' + names[i] + suffix + QStringLiteral(".png"));
            }
        }
    }
    return 0;
}
