#include "platform/wayland/WaylandDataControlChannel.h"

#include "ext-data-control-v1-client-protocol.h"
#include "platform/MimeTypeMap.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

// Both protocols put the same requests and events in the same places; only their names differ.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE ==
              ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE == ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE);
static_assert(EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION == ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE);
static_assert(EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY);

struct WaylandDataControlChannel::Flavour {
    const char* name;
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    // The highest version Clipwell speaks, and the lowest it accepts.
    uint32_t version;
    uint32_t minimumVersion;
};

namespace {

const WaylandDataControlChannel::Flavour extFlavour{"ext_data_control_manager_v1",
                                                    &ext_data_control_manager_v1_interface,
                                                    &ext_data_control_device_v1_interface,
                                                    &ext_data_control_source_v1_interface,
                                                    1,
                                                    1};
const WaylandDataControlChannel::Flavour wlrFlavour{"zwlr_data_control_manager_v1",
                                                    &zwlr_data_control_manager_v1_interface,
                                                    &zwlr_data_control_device_v1_interface,
                                                    &zwlr_data_control_source_v1_interface,
                                                    2,
                                                    2};

// A hostile owner may announce any number of types; only so many known ones are kept.
constexpr qsizetype maxOfferedTypes = 64;

struct Globals {
    uint32_t seat = 0;
    uint32_t ext = 0;
    uint32_t extVersion = 0;
    uint32_t wlr = 0;
    uint32_t wlrVersion = 0;
};

void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    auto* globals = static_cast<Globals*>(data);
    // The first seat is the user's; compositors with several are rare and name none as default.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == 0)
        globals->seat = name;
    if (std::strcmp(interface, extFlavour.name) == 0)
        std::tie(globals->ext, globals->extVersion) = std::pair(name, version);
    if (std::strcmp(interface, wlrFlavour.name) == 0)
        std::tie(globals->wlr, globals->wlrVersion) = std::pair(name, version);
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{global, globalRemove};

void destroyProxy(wl_proxy* proxy, uint32_t opcode)
{
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), WL_MARSHAL_FLAG_DESTROY);
}

} // namespace

// The events of both protocols, with the objects untyped.
struct WaylandDataControlChannel::Listeners {
    struct Device {
        void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
        void (*selection)(void*, wl_proxy*, wl_proxy*);
        void (*finished)(void*, wl_proxy*);
        void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
    };
    struct Offer {
        void (*offer)(void*, wl_proxy*, const char*);
    };
    struct Source {
        void (*send)(void*, wl_proxy*, const char*, int32_t);
        void (*cancelled)(void*, wl_proxy*);
    };
    static_assert(sizeof(Device) == sizeof(ext_data_control_device_v1_listener));
    static_assert(sizeof(Offer) == sizeof(ext_data_control_offer_v1_listener));
    static_assert(sizeof(Source) == sizeof(ext_data_control_source_v1_listener));

    static WaylandDataControlChannel* channel(void* data)
    {
        return static_cast<WaylandDataControlChannel*>(data);
    }

    static void dataOffer(void* data, wl_proxy*, wl_proxy* offer)
    {
        channel(data)->m_offers.insert(offer, {});
        add(offer, &offerListener, data);
    }

    static void offered(void* data, wl_proxy* offer, const char* mimeType)
    {
        const auto found = channel(data)->m_offers.find(offer);
        const QByteArray type(mimeType);
        if (found != channel(data)->m_offers.end() && found->size() < maxOfferedTypes &&
            MimeTypeMap::knownTargets().contains(type) && !found->contains(type))
            found->append(type);
    }

    static void selection(void* data, wl_proxy*, wl_proxy* offer)
    {
        WaylandDataControlChannel* self = channel(data);
        if (self->m_current && self->m_current != offer)
            self->destroyOffer(self->m_current);
        self->m_current = offer;
        std::optional<QList<QByteArray>> types;
        if (offer)
            types = self->m_offers.value(offer);
        if (self->m_events.selection)
            self->m_events.selection(std::move(types));
    }

    static void finished(void* data, wl_proxy*) { channel(data)->m_finished = true; }

    // The primary selection is left alone.
    static void primarySelection(void* data, wl_proxy*, wl_proxy* offer)
    {
        if (offer && offer != channel(data)->m_current)
            channel(data)->destroyOffer(offer);
    }

    static void send(void* data, wl_proxy* source, const char* mimeType, int32_t fd)
    {
        WaylandDataControlChannel* self = channel(data);
        const quint64 id = self->m_sources.value(source);
        if (id != 0 && self->m_events.send)
            self->m_events.send(id, QByteArray(mimeType), fd);
        else
            ::close(fd);
    }

    static void cancelled(void* data, wl_proxy* source)
    {
        WaylandDataControlChannel* self = channel(data);
        const quint64 id = self->m_sources.value(source);
        if (id != 0 && self->m_events.cancelled)
            self->m_events.cancelled(id);
    }

    template <typename Listener> static void add(wl_proxy* proxy, const Listener* listener, void* data)
    {
        wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener*>(listener)),
                              data);
    }

    static const Device deviceListener;
    static const Offer offerListener;
    static const Source sourceListener;
};

const WaylandDataControlChannel::Listeners::Device WaylandDataControlChannel::Listeners::deviceListener{
    dataOffer, selection, finished, primarySelection};
const WaylandDataControlChannel::Listeners::Offer WaylandDataControlChannel::Listeners::offerListener{
    offered};
const WaylandDataControlChannel::Listeners::Source WaylandDataControlChannel::Listeners::sourceListener{
    send, cancelled};

std::unique_ptr<WaylandDataControlChannel>
WaylandDataControlChannel::connect(const QByteArray& waylandDisplay, QString& error)
{
    const QString name = QString::fromLocal8Bit(waylandDisplay);
    std::unique_ptr<WaylandDataControlChannel> channel(new WaylandDataControlChannel);
    channel->m_display = wl_display_connect(waylandDisplay.isEmpty() ? nullptr : waylandDisplay.constData());
    if (!channel->m_display) {
        error = QStringLiteral("Cannot connect to the Wayland compositor \"%1\".").arg(name);
        return nullptr;
    }
    Globals globals;
    channel->m_registry = wl_display_get_registry(channel->m_display);
    wl_registry_add_listener(channel->m_registry, &registryListener, &globals);
    if (wl_display_roundtrip(channel->m_display) < 0) {
        error = QStringLiteral("The Wayland compositor \"%1\" closed the connection.").arg(name);
        return nullptr;
    }
    uint32_t manager = 0;
    uint32_t offered = 0;
    if (globals.ext != 0 && globals.extVersion >= extFlavour.minimumVersion) {
        channel->m_flavour = &extFlavour;
        std::tie(manager, offered) = std::pair(globals.ext, globals.extVersion);
    } else if (globals.wlr != 0 && globals.wlrVersion >= wlrFlavour.minimumVersion) {
        channel->m_flavour = &wlrFlavour;
        std::tie(manager, offered) = std::pair(globals.wlr, globals.wlrVersion);
    }
    if (!channel->m_flavour || globals.seat == 0) {
        error = QStringLiteral("The Wayland compositor \"%1\" does not let applications follow the clipboard "
                               "(it offers no data-control protocol).")
                    .arg(name);
        return nullptr;
    }
    const Flavour& flavour = *channel->m_flavour;
    channel->m_seat =
        static_cast<wl_seat*>(wl_registry_bind(channel->m_registry, globals.seat, &wl_seat_interface, 1));
    channel->m_manager = static_cast<wl_proxy*>(
        wl_registry_bind(channel->m_registry, manager, flavour.manager, std::min(offered, flavour.version)));
    channel->m_device = wl_proxy_marshal_flags(
        channel->m_manager, EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, flavour.device,
        wl_proxy_get_version(channel->m_manager), 0, nullptr, channel->m_seat);
    Listeners::add(channel->m_device, &Listeners::deviceListener, channel.get());
    // Globals that come and go later do not matter, and the listener's data lives on this stack.
    wl_registry_destroy(channel->m_registry);
    channel->m_registry = nullptr;
    // The compositor answers with what the clipboard holds now: the contents present at start.
    if (wl_display_roundtrip(channel->m_display) < 0 || channel->m_finished) {
        error = QStringLiteral("The Wayland compositor \"%1\" refused access to the clipboard.").arg(name);
        return nullptr;
    }
    return channel;
}

WaylandDataControlChannel::~WaylandDataControlChannel()
{
    if (!m_display)
        return;
    for (auto source = m_sources.cbegin(); source != m_sources.cend(); ++source)
        destroyProxy(source.key(), EXT_DATA_CONTROL_SOURCE_V1_DESTROY);
    for (auto offer = m_offers.cbegin(); offer != m_offers.cend(); ++offer)
        destroyProxy(offer.key(), EXT_DATA_CONTROL_OFFER_V1_DESTROY);
    if (m_device)
        destroyProxy(m_device, EXT_DATA_CONTROL_DEVICE_V1_DESTROY);
    if (m_manager)
        destroyProxy(m_manager, EXT_DATA_CONTROL_MANAGER_V1_DESTROY);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

const char* WaylandDataControlChannel::protocolName() const
{
    return m_flavour ? m_flavour->name : "";
}

int WaylandDataControlChannel::fd() const
{
    return wl_display_get_fd(m_display);
}

bool WaylandDataControlChannel::dispatch()
{
    if (m_finished || wl_display_dispatch_pending(m_display) < 0)
        return false;
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    // With data waiting, wl_display_dispatch reads without blocking.
    if (::poll(&readable, 1, 0) > 0 && wl_display_dispatch(m_display) < 0)
        return false;
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        return false;
    return !m_finished;
}

bool WaylandDataControlChannel::receive(const QByteArray& mimeType, int fd)
{
    if (!m_current)
        return false;
    wl_proxy_marshal_flags(m_current, EXT_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr,
                           wl_proxy_get_version(m_current), 0, mimeType.constData(), fd);
    return wl_display_flush(m_display) >= 0 || errno == EAGAIN;
}

quint64 WaylandDataControlChannel::offer(const QList<QByteArray>& mimeTypes)
{
    if (m_finished)
        return 0;
    wl_proxy* source = wl_proxy_marshal_flags(m_manager, EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE,
                                              m_flavour->source, wl_proxy_get_version(m_manager), 0, nullptr);
    if (!source)
        return 0;
    Listeners::add(source, &Listeners::sourceListener, this);
    for (const QByteArray& type : mimeTypes)
        wl_proxy_marshal_flags(source, EXT_DATA_CONTROL_SOURCE_V1_OFFER, nullptr,
                               wl_proxy_get_version(source), 0, type.constData());
    wl_proxy_marshal_flags(m_device, EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr,
                           wl_proxy_get_version(m_device), 0, source);
    m_sources.insert(source, ++m_lastSource);
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        return 0;
    return m_lastSource;
}

void WaylandDataControlChannel::drop(quint64 source)
{
    for (auto found = m_sources.begin(); found != m_sources.end(); ++found) {
        if (found.value() == source) {
            destroyProxy(found.key(), EXT_DATA_CONTROL_SOURCE_V1_DESTROY);
            m_sources.erase(found);
            break;
        }
    }
    wl_display_flush(m_display);
}

void WaylandDataControlChannel::destroyOffer(wl_proxy* offer)
{
    m_offers.remove(offer);
    destroyProxy(offer, EXT_DATA_CONTROL_OFFER_V1_DESTROY);
}
