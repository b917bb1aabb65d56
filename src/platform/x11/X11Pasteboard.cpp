#include "platform/x11/X11Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* guiConnection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

X11ClipboardReader::OwnClient ownClient()
{
    xcb_connection_t* connection = guiConnection();
    if (!connection)
        return {};
    const xcb_setup_t* setup = xcb_get_setup(connection);
    return {setup->resource_id_base, setup->resource_id_mask};
}

// Hands the items to Qt, which serves them; setMimeData reports nothing, so whether the selection is
// ours afterwards tells whether that worked.
bool publish(const QList<PasteboardItemSnapshot>& items, QClipboard::Mode mode)
{
    xcb_connection_t* connection = guiConnection();
    if (!connection)
        return false;
    auto* mimeData = new QMimeData;
    for (const auto& [target, data] : X11TargetMap::writeTargets(items))
        mimeData->setData(QString::fromLatin1(target), data);
    QGuiApplication::clipboard()->setMimeData(mimeData, mode);

    const QByteArray name(mode == QClipboard::Clipboard ? "CLIPBOARD" : "PRIMARY");
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    std::free(atom);
    if (!owner)
        return false;
    const X11ClipboardReader::OwnClient own = ownClient();
    const bool ours =
        owner->owner != XCB_WINDOW_NONE && (owner->owner & ~own.resourceIdMask) == own.resourceIdBase;
    std::free(owner);
    return ours;
}

} // namespace

#include <QPointer>

X11Pasteboard::X11Pasteboard(const QByteArray& displayName, X11ClipboardReader::Options options,
                             QObject* parent)
    : QObject(parent)
{
    m_reader = std::make_unique<X11ClipboardReader>(
        displayName, options,
        [this](X11ClipboardReader::Snapshot snapshot) {
            QMetaObject::invokeMethod(
                this, [this, snapshot = std::move(snapshot)]() mutable { apply(std::move(snapshot)); },
                Qt::QueuedConnection);
        },
        ownClient());
}

// The reader thread is joined before the object goes, so no snapshot arrives afterwards.
X11Pasteboard::~X11Pasteboard() = default;

QList<QStringList> X11Pasteboard::itemTypes() const
{
    QList<QStringList> types;
    types.reserve(m_items.size());
    for (const MimeTypeMap::Item& item : m_items)
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

bool X11Pasteboard::write(const QList<PasteboardItemSnapshot>& items)
{
    m_writtenOverGeneration = m_reader->ownerGeneration();
    ++m_changeCount;
    m_items.clear();
    m_itemsGeneration = 0;
    for (const PasteboardItemSnapshot& item : items) {
        MimeTypeMap::Item written;
        for (const PasteboardRepresentation& representation : item.representations) {
            written.types.append(representation.type);
            written.data.insert(representation.type, representation.data);
        }
        m_items.append(written);
    }

    return publish(items, QClipboard::Clipboard);
}

bool X11Pasteboard::writeSelection(const QList<PasteboardItemSnapshot>& items)
{
    return publish(items, QClipboard::Selection);
}

void X11Pasteboard::setObserving(bool observing)
{
    m_reader->setObserving(observing);
}

void X11Pasteboard::markCurrentContentsSeen()
{
    m_reader->markCurrentContentsSeen();
}

void X11Pasteboard::noteRecorded(qint64 changeCount)
{
    if (changeCount == m_changeCount && m_itemsGeneration != 0 && !m_items.isEmpty())
        m_reader->keepRecorded(m_itemsGeneration, m_items);
}

void X11Pasteboard::apply(X11ClipboardReader::Snapshot snapshot)
{
    if (snapshot.generation <= m_writtenOverGeneration)
        return;
    // Contents read before they were marked seen arrive here later; they are no change.
    const bool changed = snapshot.generation > m_reader->seenGeneration();
    if (changed)
        ++m_changeCount;
    m_items = std::move(snapshot.items);
    m_itemsGeneration = snapshot.generation;
    Q_EMIT published();
    if (changed && m_changeHandler)
        m_changeHandler();
}
