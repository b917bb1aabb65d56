#include "services/ClipboardMonitor.h"

#include "l10n/Localization.h"
#include "models/PasteboardType.h"
#include "models/TextRules.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QFileInfo>

ClipboardMonitor::ClipboardMonitor(Pasteboard& pasteboard, Workspace& workspace)
    : m_pasteboard(pasteboard), m_workspace(workspace), m_lastChangeCount(pasteboard.changeCount())
{
    m_timer.setTimerType(Qt::CoarseTimer);
    m_timer.setInterval(pollInterval);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
}

ClipboardMonitor::~ClipboardMonitor()
{
    stop();
}

void ClipboardMonitor::start()
{
    if (m_timer.isActive())
        return;
    m_pasteboard.setObserving(true);
    m_pasteboard.setChangeHandler([this] { poll(); });
    m_timer.start();
    poll();
}

void ClipboardMonitor::stop()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_pasteboard.setChangeHandler(nullptr);
    m_pasteboard.setObserving(false);
}

void ClipboardMonitor::forgetRecorded()
{
    m_pasteboard.forgetRecorded();
}

void ClipboardMonitor::markCurrentContentsSeen()
{
    m_pasteboard.markCurrentContentsSeen();
    m_lastChangeCount = m_pasteboard.changeCount();
}

void ClipboardMonitor::poll()
{
    const qint64 changeCount = m_pasteboard.changeCount();
    if (changeCount == m_lastChangeCount)
        return;
    m_lastChangeCount = changeCount;

    const QList<QStringList> itemTypes = m_pasteboard.itemTypes();
    const QSet<QString>& excluded = PasteboardType::excludedTypes();
    for (const QStringList& types : itemTypes) {
        for (const QString& type : types) {
            if (excluded.contains(type))
                return;
        }
    }
    if (itemTypes.isEmpty())
        return;

    const QSet<QString>& supported = PasteboardType::supportedTypes();
    QList<PasteboardItemSnapshot> items;
    items.reserve(itemTypes.size());
    qint64 total = 0;
    for (qsizetype index = 0; index < itemTypes.size(); ++index) {
        PasteboardItemSnapshot snapshot;
        for (const QString& type : itemTypes[index]) {
            if (!supported.contains(type))
                continue;
            std::optional<QByteArray> data = m_pasteboard.data(index, type);
            if (!data)
                continue;
            total += data->size();
            if (total > captureSizeLimit) {
                if (onNotice)
                    onNotice(L10n::Key::copyTooLarge);
                return;
            }
            snapshot.representations.append({type, std::move(*data)});
        }
        if (snapshot.representations.isEmpty())
            return;
        items.append(std::move(snapshot));
    }

    if (m_pasteboard.changeCount() != changeCount)
        return;
    std::optional<QString> text = m_pasteboard.string(PasteboardType::plainText);
    if (!text)
        text = m_pasteboard.string(PasteboardType::url);
    const ClipboardEntry::Classification classification = ClipboardEntry::classify(items, text);
    if (m_pasteboard.changeCount() != changeCount)
        return;

    const Timestamp now = Timestamp::now();
    const std::optional<RunningApplication> frontmost = m_workspace.frontmostApplication();
    if (!onCapture)
        return;

    ClipboardEntry entry;
    entry.id = QUuid::createUuid();
    entry.capturedAt = now;
    entry.lastCopiedAt = now;
    entry.sourceName = frontmost ? frontmost->localizedName.value_or(QString()) : QString();
    entry.kind = classification.kind;
    entry.title = classification.title;
    entry.plainText = std::move(text);
    entry.items = std::move(items);
    entry.fingerprint = ClipboardEntry::fingerprintOf(entry.items);
    entry.sourceBundleIdentifier = frontmost ? frontmost->bundleIdentifier : std::nullopt;
    entry.deduplicationKey = ClipboardEntry::makeDeduplicationKey(
        entry.sourceName, entry.sourceBundleIdentifier, entry.fingerprint);
    if (onCapture(entry))
        m_pasteboard.noteRecorded(changeCount);
}

QString ClipboardMonitor::ClipboardError::localizedDescription() const
{
    switch (code) {
    case Code::missingFile:
        return L10n::format(L10n::Key::missingFile, {fileName});
    case Code::empty:
        return L10n::text(L10n::Key::emptyClipboardEntry);
    case Code::writeFailed:
        return L10n::text(L10n::Key::clipboardWriteFailed);
    }
    return QString();
}

std::optional<ClipboardMonitor::ClipboardError> ClipboardMonitor::write(const ClipboardEntry& entry,
                                                                        bool alsoSelection)
{
    for (const QUrl& url : entry.fileURLs()) {
        if (!QFileInfo::exists(url.toLocalFile()))
            return ClipboardError{ClipboardError::Code::missingFile, TextRules::lastPathComponent(url)};
    }
    QList<PasteboardItemSnapshot> items = entry.items;
    for (PasteboardItemSnapshot& item : items)
        item.representations.append({PasteboardType::ownMarker, QByteArrayLiteral("1")});
    if (items.isEmpty())
        return ClipboardError{ClipboardError::Code::empty, QString()};

    const bool written = m_pasteboard.write(items);
    m_lastChangeCount = m_pasteboard.changeCount();
    if (!written || (alsoSelection && !m_pasteboard.writeSelection(items)))
        return ClipboardError{ClipboardError::Code::writeFailed, QString()};
    return std::nullopt;
}
