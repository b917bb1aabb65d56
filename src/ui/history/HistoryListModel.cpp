#include "ui/history/HistoryListModel.h"

#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "ui/common/HistoryThumbnailCache.h"
#include "ui/common/ImageDecoding.h"

#include <QSet>
#include <algorithm>

namespace {

// Whether a row shows the same thing. The fingerprint stands for the items, which can be large.
bool sameRow(const ClipboardEntry& a, const ClipboardEntry& b)
{
    return a.id == b.id && a.fingerprint == b.fingerprint && a.lastCopiedAt == b.lastCopiedAt &&
           a.capturedAt == b.capturedAt && a.kind == b.kind && a.title == b.title &&
           a.sourceName == b.sourceName && a.sourceBundleIdentifier == b.sourceBundleIdentifier &&
           a.plainText.has_value() == b.plainText.has_value();
}

} // namespace

HistoryListModel::HistoryListModel(AppModel& model, QObject* parent, HistoryThumbnailCache* thumbnails,
                                   SourceApplicationIconCache* icons)
    : QAbstractListModel(parent), m_model(model),
      m_thumbnailCache(thumbnails ? *thumbnails : HistoryThumbnailCache::shared()), m_icons(icons),
      m_entries(model.filteredEntries())
{
    connect(&m_model, &AppModel::filteredEntriesChanged, this, &HistoryListModel::refresh);
    connect(&m_icons, &DeferredSourceIcons::found, this,
            [this](const QList<SourceApplicationIdentity>& found) {
                for (const SourceApplicationIdentity& identity : found) {
                    announce(
                        [&identity](const ClipboardEntry& entry) {
                            return SourceApplicationIdentity::of(entry) == identity;
                        },
                        {Qt::DecorationRole});
                }
            });
    // Titles, descriptions and the search's notion of a match all follow the language.
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this, [this] {
        m_texts.clear();
        refresh();
        announce([](const ClipboardEntry&) { return true; });
    });
}

HistoryListModel::~HistoryListModel() = default;

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ClipboardEntry& entry = m_entries.at(index.row());
    switch (role) {
    case EntryRole:
        return QVariant::fromValue(entry);
    case IdRole:
        return entry.id;
    case AspectRatioRole:
        return aspectRatio(index.row());
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return accessibleText(index.row());
    case Qt::AccessibleDescriptionRole:
        if (const std::optional<QUrl>& url = texts(index.row()).link) {
            return L10n::text(url->scheme().toLower() == QLatin1StringView("mailto")
                                  ? L10n::Key::openEmailHint
                                  : L10n::Key::openBrowserHint);
        }
        return {};
    case Qt::DecorationRole: {
        if (const std::optional<QIcon> icon = m_icons.known(SourceApplicationIdentity::of(entry)))
            return *icon;
        return {};
    }
    default:
        return {};
    }
}

const HistoryRowTexts& HistoryListModel::texts(int row) const
{
    const ClipboardEntry& entry = m_entries.at(row);
    auto found = m_texts.find(entry.id);
    if (found == m_texts.end() || !sameRow(found->entry, entry))
        found = m_texts.insert(entry.id, Texts{entry, HistoryRowTexts::of(entry)});
    return found->texts;
}

QString HistoryListModel::accessibleText(int row) const
{
    const ClipboardEntry& entry = m_entries.at(row);
    QString content = texts(row).title;
    if (entry.kind == ClipboardKind::image) {
        // What the image preview says of itself.
        const Thumbnail slot = m_thumbnails.value(entry.fingerprint);
        if (!slot.pixelSize.isEmpty())
            content =
                L10n::format(L10n::Key::imageDimensions, slot.pixelSize.width(), slot.pixelSize.height());
        else if (slot.state == HistoryImagePreview::State::failed)
            content = L10n::text(L10n::Key::imageFailedAccessibility);
        else
            content = L10n::text(L10n::Key::imageLoadingAccessibility);
    }
    return QStringList{content, entry.displaySourceName(), ClipboardKinds::title(entry.kind),
                       L10n::relativeTime(entry.lastCopiedAt, clock())}
        .join(QStringLiteral(", "));
}

QModelIndex HistoryListModel::indexOf(const QUuid& id) const
{
    if (id.isNull())
        return {};
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_entries[row].id == id)
            return index(int(row));
    }
    return {};
}

void HistoryListModel::refresh()
{
    apply(m_model.filteredEntries());
}

// The smallest steps that turn the rows into next: removals, then moves and insertions in order,
// then changed values. A reset would cost the view its scroll position, so it is kept for lists
// that have nothing in common.
void HistoryListModel::apply(QList<ClipboardEntry> next)
{
    m_refreshing = true;
    QSet<QUuid> nextIds;
    for (const ClipboardEntry& entry : next)
        nextIds.insert(entry.id);
    const bool shared =
        std::any_of(m_entries.cbegin(), m_entries.cend(),
                    [&nextIds](const ClipboardEntry& entry) { return nextIds.contains(entry.id); });

    if (!shared && !m_entries.isEmpty() && !next.isEmpty()) {
        beginResetModel();
        m_entries = std::move(next);
        endResetModel();
    } else {
        for (int row = int(m_entries.size()) - 1; row >= 0; --row) {
            if (nextIds.contains(m_entries[row].id))
                continue;
            const int last = row;
            while (row > 0 && !nextIds.contains(m_entries[row - 1].id))
                --row;
            beginRemoveRows({}, row, last);
            m_entries.remove(row, last - row + 1);
            endRemoveRows();
        }

        QSet<QUuid> present;
        for (const ClipboardEntry& entry : std::as_const(m_entries))
            present.insert(entry.id);
        for (int row = 0; row < next.size();) {
            if (row < m_entries.size() && m_entries[row].id == next[row].id) {
                ++row;
                continue;
            }
            if (present.contains(next[row].id)) {
                const QUuid& id = next[row].id;
                const auto from = std::find_if(m_entries.cbegin() + row, m_entries.cend(),
                                               [&id](const ClipboardEntry& entry) { return entry.id == id; });
                const int source = int(from - m_entries.cbegin());
                beginMoveRows({}, source, source, {}, row);
                m_entries.move(source, row);
                endMoveRows();
                ++row;
                continue;
            }
            int end = row;
            while (end < next.size() && !present.contains(next[end].id))
                ++end;
            beginInsertRows({}, row, end - 1);
            for (int added = row; added < end; ++added) {
                m_entries.insert(added, next[added]);
                present.insert(next[added].id);
            }
            endInsertRows();
            row = end;
        }

        int changedFrom = -1;
        for (int row = 0; row <= next.size(); ++row) {
            const bool changed = row < next.size() && !sameRow(m_entries[row], next[row]);
            if (row < next.size())
                m_entries[row] = next[row];
            if (changed && changedFrom < 0)
                changedFrom = row;
            if (!changed && changedFrom >= 0) {
                Q_EMIT dataChanged(index(changedFrom), index(row - 1));
                changedFrom = -1;
            }
        }
    }
    m_refreshing = false;
    forgetGoneEntries();
    Q_EMIT refreshed();
}

double HistoryListModel::aspectRatio(int row) const
{
    const auto found = m_thumbnails.constFind(m_entries.at(row).fingerprint);
    return found == m_thumbnails.cend() ? HistoryImagePreview::initialAspectRatio : found->aspectRatio;
}

HistoryRowImage HistoryListModel::image(int row)
{
    const ClipboardEntry& entry = m_entries.at(row);
    Thumbnail& slot = m_thumbnails[entry.fingerprint];
    slot.lastUse = ++m_useClock;
    if (!slot.requested)
        requestThumbnail(entry, slot);
    // The request may have stored a thumbnail the cache already held.
    const Thumbnail& current = m_thumbnails[entry.fingerprint];
    return HistoryRowImage{current.state, current.image, current.aspectRatio};
}

void HistoryListModel::requestThumbnail(const ClipboardEntry& entry, Thumbnail& slot)
{
    slot.requested = true;
    const std::optional<QByteArray> data = ImageDecoding::imageData(entry);
    if (!data) {
        slot.state = HistoryImagePreview::State::failed;
        return;
    }
    slot.state = HistoryImagePreview::State::loading;
    const QString fingerprint = entry.fingerprint;
    m_requesting = true;
    m_thumbnailCache.request(fingerprint, *data, this,
                             [this, fingerprint](std::optional<HistoryThumbnail> thumbnail) {
                                 thumbnailArrived(fingerprint, std::move(thumbnail));
                             });
    m_requesting = false;
    updateLoadingImages();
}

void HistoryListModel::thumbnailArrived(const QString& fingerprint, std::optional<HistoryThumbnail> thumbnail)
{
    const auto found = m_thumbnails.find(fingerprint);
    // The entry has left the history meanwhile.
    if (found == m_thumbnails.end())
        return;
    Thumbnail& slot = *found;
    if (thumbnail && !thumbnail->image.isNull()) {
        slot.state = HistoryImagePreview::State::thumbnail;
        slot.image = std::move(thumbnail->image);
        slot.pixelSize = thumbnail->pixelSize;
        slot.aspectRatio = qreal(slot.image.width()) / slot.image.height();
    } else {
        slot.state = HistoryImagePreview::State::failed;
        slot.image = QImage();
    }
    dropOldThumbnails();
    const auto affected = [fingerprint](const ClipboardEntry& entry) {
        return entry.fingerprint == fingerprint;
    };
    const QList<int> roles{AspectRatioRole, Qt::DisplayRole, Qt::AccessibleTextRole};
    if (m_requesting) {
        // Handed over while a row is being painted: tell the view once that paint is done.
        QMetaObject::invokeMethod(
            this, [this, affected, roles] { announce(affected, roles); }, Qt::QueuedConnection);
    } else {
        announce(affected, roles);
        updateLoadingImages();
    }
}

void HistoryListModel::dropOldThumbnails()
{
    QList<Thumbnail*> kept;
    for (Thumbnail& slot : m_thumbnails) {
        if (!slot.image.isNull())
            kept.append(&slot);
    }
    if (kept.size() <= keptThumbnailLimit)
        return;
    std::sort(kept.begin(), kept.end(),
              [](const Thumbnail* a, const Thumbnail* b) { return a->lastUse < b->lastUse; });
    for (qsizetype drop = 0; drop < kept.size() - keptThumbnailLimit; ++drop) {
        kept[drop]->image = QImage();
        kept[drop]->state = HistoryImagePreview::State::loading;
        kept[drop]->requested = false;
    }
}

void HistoryListModel::forgetGoneEntries()
{
    QSet<QString> fingerprints;
    QSet<QUuid> ids;
    for (const ClipboardEntry& entry : m_model.entries()) {
        fingerprints.insert(entry.fingerprint);
        ids.insert(entry.id);
    }
    m_thumbnails.removeIf([&fingerprints](const auto& slot) { return !fingerprints.contains(slot.key()); });
    m_texts.removeIf([&ids](const auto& slot) { return !ids.contains(slot.key()); });
    updateLoadingImages();
}

void HistoryListModel::updateLoadingImages()
{
    const int loading =
        int(std::count_if(m_thumbnails.cbegin(), m_thumbnails.cend(), [](const Thumbnail& slot) {
            return slot.requested && slot.state == HistoryImagePreview::State::loading;
        }));
    if (loading == m_loadingImages)
        return;
    const bool was = hasLoadingImages();
    m_loadingImages = loading;
    if (was != hasLoadingImages())
        Q_EMIT loadingImagesChanged();
}

std::optional<QIcon> HistoryListModel::sourceIcon(int row)
{
    return m_icons.icon(SourceApplicationIdentity::of(m_entries.at(row)));
}

void HistoryListModel::announce(const std::function<bool(const ClipboardEntry&)>& affected,
                                const QList<int>& roles)
{
    int from = -1;
    for (int row = 0; row <= m_entries.size(); ++row) {
        const bool hit = row < m_entries.size() && affected(m_entries[row]);
        if (hit && from < 0)
            from = row;
        if (!hit && from >= 0) {
            Q_EMIT dataChanged(index(from), index(row - 1), roles);
            from = -1;
        }
    }
}
