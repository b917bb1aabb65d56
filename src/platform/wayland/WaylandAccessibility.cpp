#include "platform/wayland/WaylandAccessibility.h"

#include "platform/wayland/QuickPasteSeat.h"

bool WaylandAccessibility::isProcessTrusted() const
{
    return m_seat && m_seat->hasLayerShell() && m_seat->canType();
}
