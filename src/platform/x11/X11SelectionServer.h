#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <utility>
#include <xcb/xcb.h>

// Answers requests for one selection that a window of ours owns, from bytes held in memory: TARGETS,
// TIMESTAMP and every served target, large values incrementally. Runs on the thread of its connection.
class X11SelectionServer {
public:
    using Targets = QList<std::pair<QByteArray, QByteArray>>;

    X11SelectionServer(xcb_connection_t* connection, quint32 window, quint32 selection);

    // Takes the selection with the given server time and serves these targets; false when the server
    // gave it to someone else (a newer owner, or a time older than the current owner's).
    bool serve(const Targets& targets, quint32 time);
    bool isServing() const { return m_time != 0; }
    // Handles the event if it concerns this selection or one of its transfers.
    bool handle(const xcb_generic_event_t* event);
    // Tells the requestor its answer is in the property, or that there is none (XCB_ATOM_NONE).
    static void reply(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                      quint32 property);

private:
    struct Transfer {
        quint32 requestor = 0;
        quint32 property = 0;
        quint32 type = 0;
        QByteArray data;
        qsizetype offset = 0;
    };

    void answer(const xcb_selection_request_event_t& request);
    void stop();
    quint32 atom(const QByteArray& name);

    xcb_connection_t* m_connection;
    quint32 m_window;
    quint32 m_selection;
    quint32 m_targetsAtom = 0;
    quint32 m_timestampAtom = 0;
    quint32 m_incrAtom = 0;
    qsizetype m_largestProperty = 0;
    quint32 m_time = 0;
    QHash<quint32, QByteArray> m_data;
    QList<quint32> m_order;
    QList<Transfer> m_transfers;
};
