#include "platform/x11/X11SelectionServer.h"

#include "platform/x11/XcbPointers.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Larger values go incrementally: some requestors cannot take a property of many megabytes at once.
constexpr qsizetype largestPlainProperty = 1 << 20;

} // namespace

X11SelectionServer::X11SelectionServer(xcb_connection_t* connection, quint32 window, quint32 selection)
    : m_connection(connection), m_window(window), m_selection(selection)
{
    m_targetsAtom = atom("TARGETS");
    m_timestampAtom = atom("TIMESTAMP");
    m_incrAtom = atom("INCR");
    // The request header and the property request's own fields come off the largest request.
    const qsizetype largestRequest = qsizetype(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
    m_largestProperty = std::min(largestPlainProperty, largestRequest);
}

quint32 X11SelectionServer::atom(const QByteArray& name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool X11SelectionServer::serve(const Targets& targets, quint32 time)
{
    stop();
    QList<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [name, data] : targets)
        cookies.append(xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()));
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        if (reply && reply->atom != XCB_ATOM_NONE && !m_data.contains(reply->atom)) {
            m_data.insert(reply->atom, targets[i].second);
            m_order.append(reply->atom);
        }
    }
    xcb_set_selection_owner(m_connection, m_window, m_selection, time);
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
    if (!owner || owner->owner != m_window) {
        stop();
        return false;
    }
    m_time = time;
    return true;
}

void X11SelectionServer::stop()
{
    m_time = 0;
    m_data.clear();
    m_order.clear();
    m_transfers.clear();
}

bool X11SelectionServer::handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7f) {
    case XCB_SELECTION_REQUEST: {
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if (request->owner != m_window || request->selection != m_selection)
            return false;
        answer(*request);
        return true;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        if (clear->owner != m_window || clear->selection != m_selection)
            return false;
        stop();
        return true;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        const auto transfer = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const Transfer& t) {
            return t.requestor == change->window && t.property == change->atom;
        });
        if (transfer == m_transfers.end())
            return false;
        if (change->state != XCB_PROPERTY_DELETE)
            return true;
        // The requestor took the last chunk; the next one, or an empty one to end the transfer.
        const qsizetype size = std::min(m_largestProperty, transfer->data.size() - transfer->offset);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, transfer->requestor, transfer->property,
                            transfer->type, 8, uint32_t(size), transfer->data.constData() + transfer->offset);
        transfer->offset += size;
        if (size == 0)
            m_transfers.erase(transfer);
        xcb_flush(m_connection);
        return true;
    }
    default:
        return false;
    }
}

void X11SelectionServer::answer(const xcb_selection_request_event_t& request)
{
    const quint32 requestor = request.requestor;
    const quint32 target = request.target;
    // Clients from before ICCCM 2 name no property and expect the target's name to be used.
    const quint32 property = request.property == XCB_ATOM_NONE ? target : request.property;
    bool answered = false;
    // A request made before we took the selection was meant for the previous owner. Server time wraps.
    const bool current =
        m_time != 0 && (request.time == XCB_CURRENT_TIME || qint32(request.time - m_time) >= 0);
    if (current && target == m_targetsAtom) {
        QList<quint32> atoms{m_targetsAtom, m_timestampAtom};
        atoms.append(m_order);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(atoms.size()), atoms.constData());
        answered = true;
    } else if (current && target == m_timestampAtom) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1,
                            &m_time);
        answered = true;
    } else if (const auto found = m_data.constFind(target); current && found != m_data.cend()) {
        if (found->size() <= m_largestProperty) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, target, 8,
                                uint32_t(found->size()), found->constData());
        } else {
            // The requestor deletes the INCR property to ask for the first chunk.
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(m_connection, requestor, XCB_CW_EVENT_MASK, &mask);
            const uint32_t size = uint32_t(found->size());
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, requestor, property, m_incrAtom, 32, 1,
                                &size);
            m_transfers.removeIf(
                [&](const Transfer& t) { return t.requestor == requestor && t.property == property; });
            m_transfers.append(Transfer{requestor, property, target, *found, 0});
        }
        answered = true;
    }

    reply(m_connection, request, answered ? property : xcb_atom_t{XCB_ATOM_NONE});
}

void X11SelectionServer::reply(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                               quint32 property)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    // SendEvent always sends 32 bytes, more than this event has.
    std::array<char, 32> event{};
    static_assert(sizeof notify <= sizeof event);
    std::memcpy(event.data(), &notify, sizeof notify);
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event.data());
    xcb_flush(connection);
}
