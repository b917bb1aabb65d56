#include "platform/x11/X11Pasteboard.h"

#include <QPointer>

X11Pasteboard::X11Pasteboard(const QByteArray& displayName, X11ClipboardReader::Options options,
                             QObject* parent)
    : QObject(parent)
{
    m_reader = std::make_unique<X11ClipboardReader>(
        displayName, options, [this](X11ClipboardReader::Snapshot snapshot) {
            QMetaObject::invokeMethod(
                this, [this, snapshot = std::move(snapshot)]() mutable { apply(std::move(snapshot)); },
                Qt::QueuedConnection);
        });
}

// The reader thread is joined before the object goes, so no snapshot arrives afterwards.
X11Pasteboard::~X11Pasteboard() = default;

QList<QStringList> X11Pasteboard::itemTypes() const
{
    QList<QStringList> types;
    types.reserve(m_items.size());
    for (const X11TargetMap::Item& item : m_items)
        types.append(item.types);
    return types;
}

std::optional<QByteArray> X11Pasteboard::data(qsizetype item, const QString& type) const
{
    if (item < 0 || item >= m_items.size())
        return std::nullopt;
    const auto found = m_items[item].data.constFind(type);
    if (found == m_items[item].data.cend())
        return std::nullopt;
    return *found;
}

std::optional<QString> X11Pasteboard::string(const QString& type) const
{
    const std::optional<QByteArray> bytes = data(0, type);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

void X11Pasteboard::setObserving(bool observing)
{
    m_reader->setObserving(observing);
}

void X11Pasteboard::markCurrentContentsSeen()
{
    m_reader->markCurrentContentsSeen();
}

void X11Pasteboard::apply(X11ClipboardReader::Snapshot snapshot)
{
    // Contents read before they were marked seen arrive here later; they are no change.
    const bool changed = snapshot.generation > m_reader->seenGeneration();
    if (changed)
        ++m_changeCount;
    m_items = std::move(snapshot.items);
    Q_EMIT published();
    if (changed && m_changeHandler)
        m_changeHandler();
}
