#include "platform/wayland/WaylandProbe.h"

#include <cstring>
#include <wayland-client.h>

namespace {

struct Globals {
    QStringList names;
    bool ext = false;
    bool wlr = false;
};

void global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t version)
{
    auto* globals = static_cast<Globals*>(data);
    globals->names.append(QString::fromLatin1(interface));
    if (std::strcmp(interface, "ext_data_control_manager_v1") == 0)
        globals->ext = true;
    // Version 1 cannot tell the primary selection from the clipboard on some compositors.
    if (std::strcmp(interface, "zwlr_data_control_manager_v1") == 0 && version >= 2)
        globals->wlr = true;
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{global, globalRemove};

} // namespace

WaylandProbe WaylandProbe::run(const QByteArray& waylandDisplay)
{
    WaylandProbe probe;
    wl_display* display = wl_display_connect(waylandDisplay.isEmpty() ? nullptr : waylandDisplay.constData());
    if (!display) {
        probe.error = QStringLiteral("Cannot connect to the Wayland compositor \"%1\".")
                          .arg(QString::fromLocal8Bit(waylandDisplay));
        return probe;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    if (wl_display_roundtrip(display) < 0) {
        probe.error = QStringLiteral("The Wayland compositor \"%1\" closed the connection.")
                          .arg(QString::fromLocal8Bit(waylandDisplay));
    } else {
        probe.connected = true;
        probe.globals = globals.names;
        if (globals.ext)
            probe.dataControl = "ext_data_control_manager_v1";
        else if (globals.wlr)
            probe.dataControl = "zwlr_data_control_manager_v1";
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return probe;
}
