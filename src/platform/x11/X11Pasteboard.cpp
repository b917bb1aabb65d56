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

bool X11Pasteboard::write(const QList<PasteboardItemSnapshot>& items)
{
    m_contents.write(items, m_reader->ownerGeneration());
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
    if (std::optional<PasteboardContents::Recorded> recorded = m_contents.recorded(changeCount))
        m_reader->keepRecorded(recorded->generation, std::move(recorded->items));
}

void X11Pasteboard::apply(X11ClipboardReader::Snapshot snapshot)
{
    const PasteboardContents::Applied applied =
        m_contents.apply(snapshot.generation, std::move(snapshot.items), m_reader->seenGeneration());
    if (applied == PasteboardContents::Applied::stale)
        return;
    Q_EMIT published();
    if (applied == PasteboardContents::Applied::changed && m_changeHandler)
        m_changeHandler();
}
