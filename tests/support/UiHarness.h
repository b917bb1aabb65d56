#pragma once

#include "app/AppModel.h"
#include "app/Preferences.h"
#include "models/PasteboardType.h"
#include "support/EntryBuilder.h"
#include "support/FakePasteboard.h"
#include "support/FakeWorkspace.h"
#include "support/ManualDelayTimer.h"
#include "ui/common/HistoryThumbnailCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// An AppModel over a temporary home holding entries (or raw archive bytes), for the views to show.
struct ModelHome {
    QTemporaryDir root;
    Preferences preferences{root.filePath(QStringLiteral("Clipwell.conf"))};
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<AppModel> model;

    explicit ModelHome(const QList<ClipboardEntry>& entries = {}, const QByteArray& archive = {})
    {
        const QString directory = root.filePath(QStringLiteral("history"));
        if (!entries.isEmpty())
            HistoryRepository::write(directory, entries);
        if (!archive.isEmpty()) {
            QDir().mkpath(directory);
            QFile file(directory + u'/' + HistoryRepository::fileName);
            file.open(QIODevice::WriteOnly);
            file.write(archive);
        }
        model = std::make_unique<AppModel>(pasteboard, workspace, preferences, directory,
                                           std::make_unique<ManualDelayTimer>());
    }

    bool load()
    {
        model->start();
        return QTest::qWaitFor([this] { return !model->isLoading(); }, 10000);
    }
};

inline ClipboardEntry withKind(ClipboardEntry entry, ClipboardKind kind)
{
    entry.kind = kind;
    return entry;
}

// An image copy of one item per list of representations.
inline ClipboardEntry imageEntry(const QList<QList<PasteboardRepresentation>>& items, double time = 10)
{
    ClipboardEntry entry = withKind(makeEntry(QStringLiteral("image"), time), ClipboardKind::image);
    entry.plainText.reset();
    entry.items.clear();
    for (const QList<PasteboardRepresentation>& representations : items)
        entry.items.append(PasteboardItemSnapshot{representations});
    return refreshed(entry);
}

inline ClipboardEntry imageEntry(const QByteArray& png, double time = 10)
{
    return imageEntry({{{PasteboardType::png, png}}}, time);
}

inline ClipboardEntry fileEntry(const QStringList& paths)
{
    ClipboardEntry entry = withKind(makeEntry(QStringLiteral("files"), 10), ClipboardKind::file);
    entry.plainText.reset();
    entry.items.clear();
    for (const QString& path : paths)
        entry.items.append({{{PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded()}}});
    return refreshed(entry);
}

// A stand-in decoder: data "WxH" gives a plain W × H thumbnail, anything else fails.
inline std::optional<HistoryThumbnail> sizedThumbnail(const QByteArray& data)
{
    const QList<QByteArray> parts = data.split('x');
    if (parts.size() != 2)
        return std::nullopt;
    QImage image(parts[0].toInt(), parts[1].toInt(), QImage::Format_ARGB32);
    image.fill(Qt::blue);
    return HistoryThumbnail{image, image.size()};
}
