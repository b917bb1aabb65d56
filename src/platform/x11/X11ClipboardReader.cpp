#include "platform/x11/X11ClipboardReader.h"

#include "models/PasteboardType.h"

#include <QLoggingCategory>
#include <array>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace {

Q_LOGGING_CATEGORY(lcPasteboard, "app.clipwell.mac.Pasteboard", QtInfoMsg)

using Clock = std::chrono::steady_clock;

// A real owner lists a few dozen targets; a longer list than this is refused, never cut.
constexpr qint64 targetsBudget = 1 << 20;
constexpr int propertyPoolSize = 16;

template <typename T> struct Reply {
    T* value = nullptr;
    explicit Reply(T* reply) : value(reply) {}
    ~Reply() { std::free(value); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

struct EventPtr {
    xcb_generic_event_t* event;
    ~EventPtr() { std::free(event); }
};

xcb_atom_t intern(xcb_connection_t* connection, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

} // namespace

struct X11ClipboardReader::Atoms {
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t targets = XCB_ATOM_NONE;
    xcb_atom_t incr = XCB_ATOM_NONE;
    std::array<xcb_atom_t, propertyPoolSize> properties{};
    // The targets that mapping and the excluded-type check look at, by atom.
    QHash<xcb_atom_t, QByteArray> known;
};

X11ClipboardReader::X11ClipboardReader(const QByteArray& displayName, Options options,
                                       std::function<void(Snapshot)> publish, OwnClient ownClient)
    : m_options(options), m_publish(std::move(publish)), m_ownClient(ownClient),
      m_atoms(std::make_unique<Atoms>())
{
    // The setup runs on the caller's thread, so that whatever is copied after construction
    // returns is seen as a change and what was there before is the baseline.
    m_connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        m_error =
            QStringLiteral("Cannot connect to the X display %1.").arg(QString::fromLocal8Bit(displayName));
        return;
    }
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        m_error = QStringLiteral("The X server lacks the XFIXES extension needed to follow the clipboard.");
        return;
    }
    m_xfixesEvent = xfixes->first_event;
    // XFixes ignores selection requests from clients that have not negotiated a version.
    const Reply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr));
    if (!version) {
        m_error = QStringLiteral("The X server did not answer the XFIXES version query.");
        return;
    }

    m_atoms->clipboard = intern(m_connection, "CLIPBOARD");
    m_atoms->targets = intern(m_connection, "TARGETS");
    m_atoms->incr = intern(m_connection, "INCR");
    for (int i = 0; i < propertyPoolSize; ++i)
        m_atoms->properties[static_cast<size_t>(i)] =
            intern(m_connection, QByteArray("CLIPWELL_SELECTION_" + QByteArray::number(i)).constData());
    const QList<QByteArray>& known = X11TargetMap::knownTargets();
    QList<xcb_intern_atom_cookie_t> cookies;
    for (const QByteArray& name : known)
        cookies.append(
            xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.constData()));
    for (qsizetype i = 0; i < known.size(); ++i) {
        const QByteArray& name = known[i];
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        // Without the atom of an excluded type, marked copies would go unnoticed.
        if (atom == XCB_ATOM_NONE) {
            m_error = QStringLiteral("The X server did not register the clipboard format %1.")
                          .arg(QString::fromLatin1(name));
            return;
        }
        m_atoms->known.insert(atom, name);
    }

    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_window = xcb_generate_id(m_connection);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, 0, m_window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    xcb_xfixes_select_selection_input(m_connection, m_window, m_atoms->clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    const Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_atoms->clipboard), nullptr));
    m_owner = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    if (xcb_connection_has_error(m_connection)) {
        m_error = QStringLiteral("The connection to the X display failed while setting up.");
        return;
    }

    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        m_error = QStringLiteral("Cannot create the clipboard reader's wake-up descriptor.");
        return;
    }
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("app.clipwell.pasteboard"));
    m_thread->start();
}

X11ClipboardReader::~X11ClipboardReader()
{
    if (m_thread) {
        m_stop = true;
        wake();
        m_thread->wait();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11ClipboardReader::setObserving(bool observing)
{
    m_observing = observing;
    wake();
}

void X11ClipboardReader::markCurrentContentsSeen()
{
    const quint64 current = m_ownerGeneration.load();
    quint64 seen = m_seenGeneration.load();
    while (seen < current && !m_seenGeneration.compare_exchange_weak(seen, current)) {
    }
}

void X11ClipboardReader::wake()
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

void X11ClipboardReader::run()
{
    while (!stopping()) {
        // Replies read earlier may have queued events inside xcb, where poll() cannot see them.
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const EventPtr event{raw};
            const uint8_t type = event.event->response_type & 0x7f;
            if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                handleOwnerChange(reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event.event)->owner);
            } else if (type == XCB_SELECTION_NOTIFY) {
                // A late answer to a read that was given up: drop what the owner left behind.
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.event);
                if (notify->property != XCB_ATOM_NONE)
                    xcb_delete_property(m_connection, m_window, notify->property);
            }
        }
        xcb_flush(m_connection);
        const quint64 generation = m_ownerGeneration.load();
        if (m_observing && generation > m_readGeneration && generation > m_seenGeneration) {
            readCurrentContents(generation);
            continue;
        }
        waitForEvents(Clock::time_point::max());
    }
}

bool X11ClipboardReader::waitForEvents(Clock::time_point deadline)
{
    if (xcb_connection_has_error(m_connection)) {
        qCWarning(lcPasteboard)
            << "Lost the connection to the X display; the clipboard is no longer followed.";
        m_stop = true;
        return false;
    }
    std::array<pollfd, 2> fds{{{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}}};
    int timeout = -1;
    if (deadline != Clock::time_point::max()) {
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            return false;
        timeout = static_cast<int>(remaining.count());
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t drained = ::read(m_wakeFd, &value, sizeof value);
    }
    return ready != 0;
}

void X11ClipboardReader::handleOwnerChange(quint32 owner)
{
    m_owner = owner;
    ++m_ownerGeneration;
    // Our own write: the GUI side already holds what it wrote.
    if (m_ownClient.resourceIdMask != 0 && owner != XCB_WINDOW_NONE &&
        (owner & ~m_ownClient.resourceIdMask) == m_ownClient.resourceIdBase)
        markCurrentContentsSeen();
}

quint32 X11ClipboardReader::nextProperty()
{
    // A fresh property per request, so that a late answer to an abandoned request cannot be
    // mistaken for the answer to the current one.
    m_propertyIndex = (m_propertyIndex + 1) % propertyPoolSize;
    return m_atoms->properties[m_propertyIndex];
}

void X11ClipboardReader::readCurrentContents(quint64 generation)
{
    const auto publish = [&](QList<X11TargetMap::Item> items) {
        m_readGeneration = generation;
        m_publish(Snapshot{generation, std::move(items)});
    };
    if (m_owner == XCB_WINDOW_NONE) {
        publish({});
        return;
    }

    QByteArray targetsData;
    switch (fetch(m_atoms->targets, targetsData, targetsBudget)) {
    case FetchResult::ok:
        break;
    case FetchResult::failed:
        qCInfo(lcPasteboard) << "The clipboard owner did not list its formats; the copy is not read.";
        publish({});
        return;
    case FetchResult::ownerChanged:
    case FetchResult::stopping:
        return;
    }

    if (targetsData.size() > targetsBudget) {
        qCInfo(lcPasteboard) << "The clipboard owner lists too many formats; the copy is not read.";
        publish({});
        return;
    }

    // Only known targets matter, so no atom name is ever asked for: the whole list is checked.
    QList<QByteArray> names;
    QHash<QByteArray, xcb_atom_t> atomOf;
    for (qsizetype offset = 0; offset + 4 <= targetsData.size(); offset += 4) {
        xcb_atom_t atom = XCB_ATOM_NONE;
        std::memcpy(&atom, targetsData.constData() + offset, 4);
        const auto known = m_atoms->known.constFind(atom);
        if (known != m_atoms->known.cend() && !atomOf.contains(*known)) {
            names.append(*known);
            atomOf.insert(*known, atom);
        }
    }
    const X11TargetMap::ReadPlan plan = X11TargetMap::plan(names);
    if (!plan.excludedTypes.isEmpty()) {
        publish(X11TargetMap::typesOnly(plan));
        return;
    }

    QHash<QByteArray, QByteArray> fetched;
    qint64 total = 0;
    for (qsizetype i = 0; i < plan.fetches.size(); ++i) {
        const X11TargetMap::ReadPlan::Fetch& request = plan.fetches[i];
        QByteArray data;
        switch (fetch(atomOf.value(request.target), data, m_options.sizeLimit - total)) {
        case FetchResult::ok:
            break;
        case FetchResult::failed:
            qCInfo(lcPasteboard) << "The clipboard owner did not provide" << request.target;
            continue;
        case FetchResult::ownerChanged:
        case FetchResult::stopping:
            return;
        }
        total += data.size();
        if (total > m_options.sizeLimit) {
            // Reading stopped part-way through this target. Publish the raw sizes as they are, so
            // that the copy is refused as too large rather than captured from a cut-off read.
            X11TargetMap::Item item;
            for (qsizetype j = 0; j <= i; ++j) {
                const QByteArray& target = plan.fetches[j].target;
                if (j < i && !fetched.contains(target))
                    continue;
                const QString type = target == X11TargetMap::uriListTarget.data()
                                         ? QString(PasteboardType::fileURL)
                                         : plan.fetches[j].type;
                item.types.append(type);
                item.data.insert(type, j == i ? data : fetched.value(target));
            }
            publish({item});
            return;
        }
        fetched.insert(request.target, data);
    }
    publish(X11TargetMap::assemble(plan, fetched));
}

X11ClipboardReader::FetchResult X11ClipboardReader::fetch(quint32 target, QByteArray& data, qint64 budget)
{
    const xcb_atom_t property = nextProperty();
    xcb_delete_property(m_connection, m_window, property);
    xcb_convert_selection(m_connection, m_window, m_atoms->clipboard, target, property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);

    const Clock::time_point start = Clock::now();
    const Clock::time_point answerDeadline = start + m_options.answerTimeout;
    const Clock::time_point targetDeadline = start + m_options.targetTimeout;
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const EventPtr event{raw};
            const uint8_t type = event.event->response_type & 0x7f;
            if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                handleOwnerChange(reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event.event)->owner);
                return FetchResult::ownerChanged;
            }
            if (type != XCB_SELECTION_NOTIFY)
                continue;
            const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.event);
            const bool answer = notify->requestor == m_window && notify->selection == m_atoms->clipboard &&
                                notify->target == target &&
                                (notify->property == property || notify->property == XCB_ATOM_NONE);
            if (!answer) {
                if (notify->property != XCB_ATOM_NONE)
                    xcb_delete_property(m_connection, m_window, notify->property);
                continue;
            }
            if (notify->property == XCB_ATOM_NONE)
                return FetchResult::failed;
            quint32 valueType = XCB_ATOM_NONE;
            if (!readProperty(property, valueType, data, budget))
                return FetchResult::failed;
            if (valueType == m_atoms->incr) {
                data.clear();
                return readIncremental(property, data, budget, targetDeadline);
            }
            return FetchResult::ok;
        }
        if (stopping() || !m_observing)
            return FetchResult::stopping;
        if (!waitForEvents(answerDeadline) && Clock::now() >= answerDeadline)
            return FetchResult::failed;
    }
}

X11ClipboardReader::FetchResult X11ClipboardReader::readIncremental(quint32 property, QByteArray& data,
                                                                    qint64 budget,
                                                                    Clock::time_point targetDeadline)
{
    Clock::time_point chunkDeadline = std::min(Clock::now() + m_options.answerTimeout, targetDeadline);
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const EventPtr event{raw};
            const uint8_t type = event.event->response_type & 0x7f;
            if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                handleOwnerChange(reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(event.event)->owner);
                return FetchResult::ownerChanged;
            }
            if (type == XCB_SELECTION_NOTIFY) {
                const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.event);
                if (notify->property != XCB_ATOM_NONE && notify->property != property)
                    xcb_delete_property(m_connection, m_window, notify->property);
                continue;
            }
            if (type != XCB_PROPERTY_NOTIFY)
                continue;
            const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event.event);
            if (change->window != m_window || change->atom != property ||
                change->state != XCB_PROPERTY_NEW_VALUE)
                continue;
            QByteArray chunk;
            quint32 chunkType = XCB_ATOM_NONE;
            if (!readProperty(property, chunkType, chunk, budget - data.size()))
                return FetchResult::failed;
            if (chunk.isEmpty())
                return FetchResult::ok;
            data.append(chunk);
            if (data.size() > budget) {
                // Past the limit: the rest is never needed, and the owner gives up on its own.
                xcb_delete_property(m_connection, m_window, property);
                xcb_flush(m_connection);
                return FetchResult::ok;
            }
            chunkDeadline = std::min(Clock::now() + m_options.answerTimeout, targetDeadline);
        }
        if (stopping() || !m_observing)
            return FetchResult::stopping;
        if (!waitForEvents(chunkDeadline) && Clock::now() >= chunkDeadline) {
            qCInfo(lcPasteboard) << "The clipboard owner stalled during an incremental transfer.";
            return FetchResult::failed;
        }
    }
}

bool X11ClipboardReader::readProperty(quint32 property, quint32& type, QByteArray& data, qint64 budget)
{
    // Reads at most budget + 1 bytes: one byte past the budget is enough to know it was exceeded.
    const qint64 wanted = std::max<qint64>(budget, 0) + 1;
    const uint32_t longLength = static_cast<uint32_t>(std::min<qint64>((wanted + 3) / 4, UINT32_MAX / 4));
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longLength),
        nullptr));
    if (!reply)
        return false;
    type = reply->type;
    const int length = xcb_get_property_value_length(reply.value);
    data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.value)), length);
    if (reply->bytes_after > 0) {
        // Not deleted by the read when something is left over.
        xcb_delete_property(m_connection, m_window, property);
    }
    xcb_flush(m_connection);
    return true;
}
