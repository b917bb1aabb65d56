#pragma once

#include "l10n/L10nKey.h"
#include "models/ClipboardEntry.h"

#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

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
    // The last recorded copy left the history: it is not put back when the application that copied quits.
    void forgetRecorded();
    void poll();

    struct ClipboardError {
        enum class Code { missingFile, empty, writeFailed };
        Code code = Code::writeFailed;
        // The missing file's name.
        QString fileName;

        // In the current interface language, on every call.
        QString localizedDescription() const;
        friend bool operator==(const ClipboardError&, const ClipboardError&) = default;
    };

    // Puts the entry back exactly as captured, each item marked as Clipwell's own so that it is
    // never recorded as a new copy; also onto the selection terminals paste with Shift+Insert when
    // asked.
    std::optional<ClipboardError> write(const ClipboardEntry& entry, bool alsoSelection = false);

    // True when the entry went into the history: only then is it kept on the clipboard for restoring.
    std::function<bool(const ClipboardEntry&)> onCapture;
    std::function<void(L10n::Key)> onNotice;

private:
    Pasteboard& m_pasteboard;
    Workspace& m_workspace;
    qint64 m_lastChangeCount = 0;
    QTimer m_timer;
};
