#pragma once

#include "platform/wayland/ChordBinding.h"

#include <QByteArray>
#include <memory>

// The quick paste chord as a runtime binding of the running sway: bound when it starts and again
// after every reload (a reload drops runtime bindings), its presses followed on a thread of its own,
// removed when it stops. Nothing here waits on sway on the caller's thread.
class SwayChordBinding final : public ChordBinding {
public:
    explicit SwayChordBinding(QByteArray socketPath);
    // Stops.
    ~SwayChordBinding() override;
    SwayChordBinding(const SwayChordBinding&) = delete;
    SwayChordBinding& operator=(const SwayChordBinding&) = delete;

    void start() override;
    std::optional<Outcome> firstOutcome(int timeoutMs) override;
    void stop() override;
    void waitForRemoval(int timeoutMs) override;

    // What the caller and the thread share; the thread keeps it alive after a stop that did not wait.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Shared> m_stopping;
    QByteArray m_socketPath;
};
