#include "platform/wayland/WaylandPasteboard.h"

#include "platform/wayland/WaylandDataControlChannel.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWaylandPasteboard)

WaylandPasteboard::WaylandPasteboard(const QByteArray& waylandDisplay, DataControlClipboard::Options options,
                                     QObject* parent)
    : QObject(parent)
{
    std::unique_ptr<WaylandDataControlChannel> channel =
        WaylandDataControlChannel::connect(waylandDisplay, m_error);
    if (!channel)
        return;
    qCInfo(lcWaylandPasteboard) << "Following the clipboard through" << channel->protocolName();
    start(std::move(channel), options);
}

WaylandPasteboard::WaylandPasteboard(std::unique_ptr<DataControlChannel> channel,
                                     DataControlClipboard::Options options, QObject* parent)
    : QObject(parent)
{
    start(std::move(channel), options);
}

// The clipboard thread is joined before the object goes, so no snapshot arrives afterwards.
WaylandPasteboard::~WaylandPasteboard() = default;

void WaylandPasteboard::start(std::unique_ptr<DataControlChannel> channel,
                              DataControlClipboard::Options options)
{
    m_clipboard = std::make_unique<DataControlClipboard>(
        std::move(channel), options, [this](DataControlClipboard::Snapshot snapshot) {
            QMetaObject::invokeMethod(
                this, [this, snapshot = std::move(snapshot)]() mutable { apply(std::move(snapshot)); },
                Qt::QueuedConnection);
        });
}

QList<QStringList> WaylandPasteboard::itemTypes() const
{
    QList<QStringList> types;
    types.reserve(m_items.size());
    for (const MimeTypeMap::Item& item : m_items)
        types.append(item.types);
    return types;
}

std::optional<QByteArray> WaylandPasteboard::data(qsizetype item, const QString& type) const
{
    if (item < 0 || item >= m_items.size())
        return std::nullopt;
    const auto found = m_items[item].data.constFind(type);
    if (found == m_items[item].data.cend())
        return std::nullopt;
    return *found;
}

std::optional<QString> WaylandPasteboard::string(const QString& type) const
{
    const std::optional<QByteArray> bytes = data(0, type);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

bool WaylandPasteboard::write(const QList<PasteboardItemSnapshot>& items)
{
    ++m_changeCount;
    m_items.clear();
    m_itemsGeneration = 0;
    if (!m_clipboard)
        return false;
    m_writtenOverGeneration = m_clipboard->ownerGeneration();
    for (const PasteboardItemSnapshot& item : items) {
        MimeTypeMap::Item written;
        for (const PasteboardRepresentation& representation : item.representations) {
            written.types.append(representation.type);
            written.data.insert(representation.type, representation.data);
        }
        m_items.append(written);
    }
    return m_clipboard->write(MimeTypeMap::writeTargets(items));
}

void WaylandPasteboard::setObserving(bool observing)
{
    if (m_clipboard)
        m_clipboard->setObserving(observing);
}

void WaylandPasteboard::markCurrentContentsSeen()
{
    if (m_clipboard)
        m_clipboard->markCurrentContentsSeen();
}

void WaylandPasteboard::noteRecorded(qint64 changeCount)
{
    if (m_clipboard && changeCount == m_changeCount && m_itemsGeneration != 0 && !m_items.isEmpty())
        m_clipboard->keepRecorded(m_itemsGeneration, m_items);
}

void WaylandPasteboard::forgetRecorded()
{
    if (m_clipboard)
        m_clipboard->forgetKept();
}

void WaylandPasteboard::apply(DataControlClipboard::Snapshot snapshot)
{
    if (snapshot.generation <= m_writtenOverGeneration)
        return;
    // Contents read before they were marked seen arrive here later; they are no change.
    const bool changed = snapshot.generation > m_clipboard->seenGeneration();
    if (changed)
        ++m_changeCount;
    m_items = std::move(snapshot.items);
    m_itemsGeneration = snapshot.generation;
    Q_EMIT published();
    if (changed && m_changeHandler)
        m_changeHandler();
}
