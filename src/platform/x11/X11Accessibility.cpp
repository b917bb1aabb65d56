#include "platform/x11/X11Accessibility.h"

#include "platform/x11/X11Input.h"

bool X11Accessibility::isProcessTrusted() const
{
    return m_input->hasXTest() && m_input->hasXInput2();
}
