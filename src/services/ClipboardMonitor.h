#pragma once

#include "app/L10nKey.h"
#include "models/ClipboardEntry.h"

#include <QTimer>
#include <chrono>
#include <functional>

class Pasteboard;
class Workspace;

// Polls the pasteboard and turns every new copy into an entry. Copies marked as concealed,
// transient, auto-generated, a password manager's or Clipwell's own are never read.
class ClipboardMonitor {
public:
    static constexpr qint64 captureSizeLimit = 12'582'912;
    static constexpr std::chrono::milliseconds pollInterval{400};

    ClipboardMonitor(Pasteboard& pasteboard, Workspace& workspace);
    ~ClipboardMonitor();
    ClipboardMonitor(const ClipboardMonitor&) = delete;
    ClipboardMonitor& operator=(const ClipboardMonitor&) = delete;

    Pasteboard& pasteboard() const { return m_pasteboard; }
    qint64 lastChangeCount() const { return m_lastChangeCount; }
    bool isPolling() const { return m_timer.isActive(); }

    void start();
    void stop();
    void markCurrentContentsSeen();
    void poll();

    std::function<void(const ClipboardEntry&)> onCapture;
    std::function<void(L10n::Key)> onNotice;

private:
    Pasteboard& m_pasteboard;
    Workspace& m_workspace;
    qint64 m_lastChangeCount = 0;
    QTimer m_timer;
};
