#pragma once

#include "platform/wayland/DataControlChannel.h"

#include <QHash>
#include <QString>
#include <memory>

struct wl_display;
struct wl_proxy;
struct wl_registry;
struct wl_seat;

// The clipboard of a Wayland seat through the data-control protocol, ext_data_control_v1 where the
// compositor offers it, else wlr's (version 2 or later), on a connection of its own.
class WaylandDataControlChannel final : public DataControlChannel {
public:
    // Connects and takes in what the clipboard holds now; nothing, and why in words for the user,
    // when the compositor cannot be reached or offers no data-control.
    static std::unique_ptr<WaylandDataControlChannel> connect(const QByteArray& waylandDisplay,
                                                              QString& error);
    ~WaylandDataControlChannel() override;

    // The protocol in use, for the log.
    const char* protocolName() const;

    void setEvents(Events events) override { m_events = std::move(events); }
    int fd() const override;
    bool dispatch() override;
    bool receive(const QByteArray& mimeType, int fd) override;
    quint64 offer(const QList<QByteArray>& mimeTypes) override;
    void drop(quint64 source) override;

    struct Flavour;
    struct Listeners;

private:
    WaylandDataControlChannel() = default;
    void destroyOffer(wl_proxy* offer);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    wl_proxy* m_manager = nullptr;
    wl_proxy* m_device = nullptr;
    const Flavour* m_flavour = nullptr;
    Events m_events;
    // Offers announced and not yet replaced, with the types Clipwell knows.
    QHash<wl_proxy*, QList<QByteArray>> m_offers;
    wl_proxy* m_current = nullptr;
    QHash<wl_proxy*, quint64> m_sources;
    quint64 m_lastSource = 0;
    bool m_finished = false;
};
