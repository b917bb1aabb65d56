#pragma once

#include "models/ClipboardEntry.h"
#include "ui/common/DeferredSourceIcons.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/common/SourceApplicationIconCache.h"

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <functional>
#include <optional>

class AppModel;
class HistoryThumbnailCache;

// The visible history as list rows: AppModel's filtered entries, updated in place as they change so
// that a view keeps its selection and scroll position, plus what the rows show that arrives later
// (thumbnails, application icons), each announced for its own rows only.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // ClipboardEntry.
        EntryRole = Qt::UserRole + 1,
        // QUuid.
        IdRole,
        // double: the shape the row's image takes, 4:3 until its thumbnail is known. Announced when a
        // thumbnail arrives, so views know the row's height may have changed.
        AspectRatioRole,
    };

    // Thumbnails of the rows painted longest ago are let go beyond this many (their shapes are kept)
    // and asked for again when their rows are painted again.
    static constexpr int keptThumbnailLimit = 64;

    // The caches default to the shared ones; without an icon cache rows show the kind symbol.
    explicit HistoryListModel(AppModel& model, QObject* parent = nullptr,
                              HistoryThumbnailCache* thumbnails = nullptr,
                              SourceApplicationIconCache* icons = nullptr);
    ~HistoryListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display and accessible text: the row read as one, title (or the image's description), source,
    // kind and time. Link rows describe what activating the title does.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ClipboardEntry& entry(int row) const { return m_entries.at(row); }
    // Worked out once per entry and interface language.
    const HistoryRowTexts& texts(int row) const;
    QModelIndex indexOf(const QUuid& id) const;
    // True while rows are being inserted, moved or removed: selection changes then are not the user's.
    bool isRefreshing() const { return m_refreshing; }

    // The row's thumbnail as far as it is known; asks for it the first time.
    HistoryRowImage image(int row);
    // The shape the row takes, without asking for anything.
    double aspectRatio(int row) const;
    // The source application's icon once looked up; the first call schedules the look-up, and the
    // rows are announced when it is found.
    std::optional<QIcon> sourceIcon(int row);
    bool hasLoadingImages() const { return m_loadingImages > 0; }

    // The time the accessible texts count from.
    std::function<Timestamp()> clock = &Timestamp::now;

Q_SIGNALS:
    // After every update of the rows, even one that changed nothing.
    void refreshed();
    void loadingImagesChanged();

private:
    struct Thumbnail {
        HistoryImagePreview::State state = HistoryImagePreview::State::loading;
        QImage image;
        QSize pixelSize;
        double aspectRatio = HistoryImagePreview::initialAspectRatio;
        bool requested = false;
        quint64 lastUse = 0;
    };

    void refresh();
    void apply(QList<ClipboardEntry> next);
    void requestThumbnail(const ClipboardEntry& entry, Thumbnail& slot);
    void thumbnailArrived(const QString& fingerprint, std::optional<HistoryThumbnail> thumbnail);
    void dropOldThumbnails();
    void forgetGoneEntries();
    void updateLoadingImages();
    void announce(const std::function<bool(const ClipboardEntry&)>& affected, const QList<int>& roles = {});
    QString accessibleText(int row) const;

    AppModel& m_model;
    HistoryThumbnailCache& m_thumbnailCache;
    DeferredSourceIcons m_icons;
    QList<ClipboardEntry> m_entries;
    bool m_refreshing = false;
    // By fingerprint, filled as rows are painted.
    QHash<QString, Thumbnail> m_thumbnails;
    quint64 m_useClock = 0;
    int m_loadingImages = 0;
    // Set while the cache is asked: a thumbnail it already holds is handed over at once.
    bool m_requesting = false;
    // By id, with the entry they were worked out for (shared, not copied) to tell when it changed.
    struct Texts {
        ClipboardEntry entry;
        HistoryRowTexts texts;
    };
    mutable QHash<QUuid, Texts> m_texts;
};
