#include "platform/x11/X11ClipboardReader.h"

#include "models/PasteboardType.h"
#include "platform/x11/X11SelectionServer.h"
#include "platform/x11/XcbPointers.h"

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
// How long quitting waits for another clipboard manager to take what we serve.
constexpr std::chrono::seconds handOverTimeout{3};

template <typename T> using Reply = XcbReply<T>;

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
    xcb_atom_t clipboardManager = XCB_ATOM_NONE;
    xcb_atom_t saveTargets = XCB_ATOM_NONE;
    xcb_atom_t manager = XCB_ATOM_NONE;
    xcb_atom_t timeProbe = XCB_ATOM_NONE;
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
    m_atoms->clipboardManager = intern(m_connection, "CLIPBOARD_MANAGER");
    m_atoms->saveTargets = intern(m_connection, "SAVE_TARGETS");
    m_atoms->manager = intern(m_connection, "MANAGER");
    m_atoms->timeProbe = intern(m_connection, "CLIPWELL_TIME");
    for (int i = 0; i < propertyPoolSize; ++i)
        m_atoms->properties[static_cast<size_t>(i)] =
            intern(m_connection, QByteArray("CLIPWELL_SELECTION_" + QByteArray::number(i)).constData());
    const QList<QByteArray>& known = MimeTypeMap::knownTargets();
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
    m_root = screen->root;
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

    m_clipboardServer = std::make_unique<X11SelectionServer>(m_connection, m_window, m_atoms->clipboard);
    m_managerServer = std::make_unique<X11SelectionServer>(m_connection, m_window, m_atoms->clipboardManager);

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
    claimManager();
    while (!stopping()) {
        while (!m_deferred.empty()) {
            const XcbEvent event = std::move(m_deferred.front());
            m_deferred.pop_front();
            dispatch(event);
        }
        // Replies read earlier may have queued events inside xcb, where poll() cannot see them.
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection))
            dispatch(XcbEvent(raw));
        restoreIfKept();
        xcb_flush(m_connection);
        if (!m_deferred.empty())
            continue;
        const quint64 generation = m_ownerGeneration.load();
        if (m_observing && generation > m_readGeneration && generation > m_seenGeneration) {
            const MimeTypeMap::Read read = readContents();
            if (read.outcome != MimeTypeMap::Read::Outcome::abandoned)
                publish(generation, read.items);
            continue;
        }
        waitForEvents(Clock::time_point::max());
    }
    handOver();
}

void X11ClipboardReader::handOver()
{
    // What we serve dies with our connection; another clipboard manager may keep it, as it keeps Qt's.
    if (!m_clipboardServer->isServing() || xcb_connection_has_error(m_connection))
        return;
    const Reply<xcb_get_selection_owner_reply_t> manager(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_atoms->clipboardManager), nullptr));
    if (!manager || manager->owner == XCB_WINDOW_NONE || manager->owner == m_window)
        return;
    xcb_convert_selection(m_connection, m_window, m_atoms->clipboardManager, m_atoms->saveTargets,
                          nextProperty(), XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    const Clock::time_point deadline = Clock::now() + handOverTimeout;
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            const XcbEvent event(raw);
            if (event.type() == XCB_SELECTION_NOTIFY &&
                event.as<xcb_selection_notify_event_t>()->selection == m_atoms->clipboardManager)
                return;
            m_clipboardServer->handle(event.event);
        }
        if (!waitForEvents(deadline))
            break;
    }
    qCInfo(lcPasteboard) << "The clipboard manager did not take the clipboard in time.";
}

void X11ClipboardReader::dispatch(const XcbEvent& event)
{
    const uint8_t type = event.type();
    if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        handleSelectionNotify(event.as<xcb_xfixes_selection_notify_event_t>());
    } else if (type == XCB_SELECTION_NOTIFY) {
        // A late answer to a read that was given up: drop what the owner left behind.
        const auto* notify = event.as<xcb_selection_notify_event_t>();
        if (notify->property != XCB_ATOM_NONE)
            xcb_delete_property(m_connection, m_window, notify->property);
    } else if (type == XCB_SELECTION_REQUEST &&
               event.as<xcb_selection_request_event_t>()->selection == m_atoms->clipboardManager &&
               event.as<xcb_selection_request_event_t>()->target == m_atoms->saveTargets) {
        saveTargets(event.as<xcb_selection_request_event_t>());
    } else if (!m_clipboardServer->handle(event.event)) {
        m_managerServer->handle(event.event);
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

void X11ClipboardReader::handleSelectionNotify(const xcb_xfixes_selection_notify_event_t* event)
{
    const quint64 ended = m_ownerGeneration.load();
    m_owner = event->owner;
    ++m_ownerGeneration;
    // Our own write: the GUI side already holds what it wrote, and a restore was recorded before.
    if (isOwn(event->owner))
        markCurrentContentsSeen();
    const bool died = event->subtype == XCB_XFIXES_SELECTION_EVENT_SELECTION_WINDOW_DESTROY ||
                      event->subtype == XCB_XFIXES_SELECTION_EVENT_SELECTION_CLIENT_CLOSE;
    if (died)
        m_death = Death{ended, event->timestamp};
    else
        m_death.reset();
}

bool X11ClipboardReader::isOwn(quint32 owner) const
{
    if (owner == XCB_WINDOW_NONE)
        return false;
    return owner == m_window || (m_ownClient.resourceIdMask != 0 &&
                                 (owner & ~m_ownClient.resourceIdMask) == m_ownClient.resourceIdBase);
}

void X11ClipboardReader::keepRecorded(quint64 generation, QList<MimeTypeMap::Item> items)
{
    {
        const QMutexLocker lock(&m_recordedMutex);
        m_recorded = Kept{generation, std::move(items)};
    }
    wake();
}

void X11ClipboardReader::forgetKept()
{
    m_forgetSaved = true;
    keepRecorded(0, {});
}

void X11ClipboardReader::restoreIfKept()
{
    if (m_forgetSaved.exchange(false))
        m_saved = Kept();
    if (!m_death)
        return;
    QList<MimeTypeMap::Item> items;
    if (m_saved.generation == m_death->generation) {
        items = m_saved.items;
    } else {
        const QMutexLocker lock(&m_recordedMutex);
        if (m_recorded.generation == m_death->generation)
            items = m_recorded.items;
    }
    // Nothing kept (the contents present at start included): the clipboard stays empty, as it would
    // without us.
    if (items.isEmpty())
        return;
    const X11SelectionServer::Targets targets = restoreTargets(items);
    const Death death = *m_death;
    m_death.reset();
    // What we put back is no new copy.
    markCurrentContentsSeen();
    // The time of the death, not the current time: a copy made since must not be overwritten, and an
    // ownership older than the dead owner's would be ignored.
    if (m_clipboardServer->serve(targets, death.time))
        qCInfo(lcPasteboard)
            << "The application that owned the clipboard quit; its copy stays on the clipboard.";
}

void X11ClipboardReader::claimManager()
{
    const Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_atoms->clipboardManager), nullptr));
    if (!owner || owner->owner != XCB_WINDOW_NONE) {
        qCInfo(lcPasteboard) << "Another clipboard manager runs; applications hand their clipboard to it.";
        return;
    }
    const std::optional<quint32> time = serverTime();
    if (!time || !m_managerServer->serve({{"SAVE_TARGETS", QByteArray()}}, *time))
        return;
    xcb_client_message_event_t announce{};
    announce.response_type = XCB_CLIENT_MESSAGE;
    announce.format = 32;
    announce.window = m_root;
    announce.type = m_atoms->manager;
    announce.data.data32[0] = *time;
    announce.data.data32[1] = m_atoms->clipboardManager;
    announce.data.data32[2] = m_window;
    xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&announce));
    xcb_flush(m_connection);
}

std::optional<quint32> X11ClipboardReader::serverTime()
{
    // An empty append changes nothing but stamps a property event with the server's time.
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, m_atoms->timeProbe, XCB_ATOM_STRING, 8,
                        0, nullptr);
    xcb_flush(m_connection);
    const Clock::time_point deadline = Clock::now() + m_options.answerTimeout;
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(m_connection)) {
            XcbEvent event(raw);
            if (event.type() == XCB_PROPERTY_NOTIFY &&
                event.as<xcb_property_notify_event_t>()->atom == m_atoms->timeProbe)
                return event.as<xcb_property_notify_event_t>()->time;
            m_deferred.push_back(std::move(event));
        }
        if (stopping() || (!waitForEvents(deadline) && Clock::now() >= deadline))
            return std::nullopt;
    }
}

void X11ClipboardReader::saveTargets(const xcb_selection_request_event_t* request)
{
    const xcb_selection_request_event_t answered = *request;
    bool saved = false;
    // Nothing is taken while recording is paused: a password manager that quits must keep its secret.
    const quint64 generation = m_ownerGeneration.load();
    if (m_observing && m_owner != XCB_WINDOW_NONE && !isOwn(m_owner)) {
        const MimeTypeMap::Read read = readContents();
        if (read.outcome != MimeTypeMap::Read::Outcome::abandoned && generation > m_readGeneration &&
            generation > m_seenGeneration)
            publish(generation, read.items);
        if (read.outcome == MimeTypeMap::Read::Outcome::complete && !read.items.isEmpty()) {
            m_saved = Kept{generation, read.items};
            saved = true;
        }
    }
    X11SelectionServer::reply(m_connection, answered, saved ? answered.property : xcb_atom_t{XCB_ATOM_NONE});
    qCInfo(lcPasteboard) << (saved ? "Kept the clipboard of an application that is quitting."
                                   : "Did not keep the clipboard of an application that is quitting.");
}

X11SelectionServer::Targets X11ClipboardReader::restoreTargets(const QList<MimeTypeMap::Item>& items)
{
    QList<PasteboardItemSnapshot> snapshots;
    for (const MimeTypeMap::Item& item : items) {
        PasteboardItemSnapshot snapshot;
        for (const QString& type : item.types)
            snapshot.representations.append({type, item.data.value(type)});
        snapshots.append(snapshot);
    }
    // The marker tells every reader, ours included, that this is no new copy.
    if (!snapshots.isEmpty())
        snapshots.first().representations.append({PasteboardType::ownMarker, QByteArrayLiteral("1")});
    return X11TargetMap::writeTargets(snapshots);
}

quint32 X11ClipboardReader::nextProperty()
{
    // A fresh property per request, so that a late answer to an abandoned request cannot be
    // mistaken for the answer to the current one.
    m_propertyIndex = (m_propertyIndex + 1) % propertyPoolSize;
    return m_atoms->properties[m_propertyIndex];
}

void X11ClipboardReader::publish(quint64 generation, QList<MimeTypeMap::Item> items)
{
    m_readGeneration = generation;
    m_publish(Snapshot{generation, std::move(items)});
}

MimeTypeMap::Read X11ClipboardReader::readContents()
{
    using enum MimeTypeMap::Read::Outcome;
    if (m_owner == XCB_WINDOW_NONE)
        return {complete, {}};

    QByteArray targetsData;
    switch (fetch(m_atoms->targets, targetsData, targetsBudget)) {
    case FetchResult::ok:
        break;
    case FetchResult::failed:
        qCInfo(lcPasteboard) << "The clipboard owner did not list its formats; the copy is not read.";
        return {refused, {}};
    case FetchResult::ownerChanged:
    case FetchResult::stopping:
        return {abandoned, {}};
    }

    if (targetsData.size() > targetsBudget) {
        qCInfo(lcPasteboard) << "The clipboard owner lists too many formats; the copy is not read.";
        return {refused, {}};
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
    return MimeTypeMap::read(MimeTypeMap::plan(names), m_options.sizeLimit,
                             [this, &atomOf](const QByteArray& target, QByteArray& data, qint64 budget) {
                                 switch (fetch(atomOf.value(target), data, budget)) {
                                 case FetchResult::ok:
                                     return MimeTypeMap::Fetched::ok;
                                 case FetchResult::failed:
                                     qCInfo(lcPasteboard) << "The clipboard owner did not provide" << target;
                                     return MimeTypeMap::Fetched::failed;
                                 case FetchResult::ownerChanged:
                                 case FetchResult::stopping:
                                     break;
                                 }
                                 return MimeTypeMap::Fetched::abandoned;
                             });
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
            XcbEvent event(raw);
            const uint8_t type = event.type();
            if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                handleSelectionNotify(event.as<xcb_xfixes_selection_notify_event_t>());
                // An owner that quits right after answering can be reported gone before its answer
                // arrives; what it wrote is already here.
                quint32 valueType = XCB_ATOM_NONE;
                if (m_death && readProperty(property, valueType, data, budget) &&
                    valueType != XCB_ATOM_NONE && valueType != m_atoms->incr)
                    return FetchResult::ok;
                return FetchResult::ownerChanged;
            }
            if (type != XCB_SELECTION_NOTIFY) {
                m_deferred.push_back(std::move(event));
                continue;
            }
            const auto* notify = event.as<xcb_selection_notify_event_t>();
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
            XcbEvent event(raw);
            const uint8_t type = event.type();
            if (type == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY) {
                handleSelectionNotify(event.as<xcb_xfixes_selection_notify_event_t>());
                return FetchResult::ownerChanged;
            }
            if (type == XCB_SELECTION_NOTIFY) {
                const auto* notify = event.as<xcb_selection_notify_event_t>();
                if (notify->property != XCB_ATOM_NONE && notify->property != property)
                    xcb_delete_property(m_connection, m_window, notify->property);
                continue;
            }
            if (type != XCB_PROPERTY_NOTIFY || event.as<xcb_property_notify_event_t>()->window != m_window) {
                m_deferred.push_back(std::move(event));
                continue;
            }
            const auto* change = event.as<xcb_property_notify_event_t>();
            if (change->atom != property || change->state != XCB_PROPERTY_NEW_VALUE)
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
