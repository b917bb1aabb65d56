#pragma once

#include "platform/wayland/ChordBinding.h"

#include <QByteArray>

// The quick paste chord as a runtime binding of the running sway: bound when it starts and again
// after every reload (a reload drops runtime bindings), its presses followed on a thread of its own,
// removed when it stops. Nothing here waits on sway on the caller's thread.
class SwayChordBinding final : public ChordBinding {
public:
    explicit SwayChordBinding(QByteArray socketPath);

protected:
    std::function<void(Link&)> body() override;

private:
    QByteArray m_socketPath;
};
