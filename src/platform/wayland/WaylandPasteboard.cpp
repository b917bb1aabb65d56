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

bool WaylandPasteboard::write(const QList<PasteboardItemSnapshot>& items)
{
    m_contents.write(items, m_clipboard ? m_clipboard->ownerGeneration() : 0);
    return m_clipboard && m_clipboard->write(MimeTypeMap::writeTargets(items));
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
    std::optional<PasteboardContents::Recorded> recorded = m_contents.recorded(changeCount);
    if (m_clipboard && recorded)
        m_clipboard->keepRecorded(recorded->generation, std::move(recorded->items));
}

void WaylandPasteboard::forgetRecorded()
{
    if (m_clipboard)
        m_clipboard->forgetKept();
}

void WaylandPasteboard::apply(DataControlClipboard::Snapshot snapshot)
{
    const PasteboardContents::Applied applied =
        m_contents.apply(snapshot.generation, std::move(snapshot.items), m_clipboard->seenGeneration());
    if (applied == PasteboardContents::Applied::stale)
        return;
    Q_EMIT published();
    if (applied == PasteboardContents::Applied::changed && m_changeHandler)
        m_changeHandler();
}
