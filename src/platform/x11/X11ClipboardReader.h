#pragma once

#include "platform/x11/X11SelectionServer.h"
#include "platform/x11/X11TargetMap.h"
#include "platform/x11/XcbPointers.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

struct xcb_connection_t;
struct xcb_selection_request_event_t;
struct xcb_xfixes_selection_notify_event_t;

// Windows of one X client share a resource-id base; this one identifies our own GUI connection,
// whose ownership of the clipboard is never a change to read.
struct X11OwnClient {
    quint32 resourceIdBase = 0;
    quint32 resourceIdMask = 0;
};

// Follows the CLIPBOARD selection on a connection and thread of its own and reads each new copy
// completely, so that a slow or hung owner never holds up the GUI thread. It also keeps the clipboard
// alive: a recorded copy whose owner quits is served again from the same thread, and as the clipboard
// manager it takes the contents of applications that ask for them to be saved before quitting.
class X11ClipboardReader {
public:
    struct Options {
        // How long an owner may take to start answering one target, and to send each further
        // chunk of an incremental transfer.
        std::chrono::milliseconds answerTimeout{1000};
        // Upper bound for one target, however steadily it trickles in.
        std::chrono::milliseconds targetTimeout{5000};
        // Reading stops once the data of one copy passes this many bytes.
        qint64 sizeLimit = 12'582'912;
    };

    struct Snapshot {
        // Owner changes counted since the reader started; the contents present at start are 0.
        quint64 generation = 0;
        QList<MimeTypeMap::Item> items;
    };

    using OwnClient = X11OwnClient;

    // publish is called on the reader thread for every completed read.
    X11ClipboardReader(const QByteArray& displayName, Options options, std::function<void(Snapshot)> publish,
                       OwnClient ownClient = {});
    ~X11ClipboardReader();
    X11ClipboardReader(const X11ClipboardReader&) = delete;
    X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

    bool isValid() const { return m_thread != nullptr; }
    QString errorString() const { return m_error; }

    // Reads only happen while observing; a change seen meanwhile is read when observing resumes.
    void setObserving(bool observing);
    // Every owner change so far, including one being read, no longer counts as new.
    void markCurrentContentsSeen();
    quint64 seenGeneration() const { return m_seenGeneration.load(); }
    // The copy read as this generation goes back on the clipboard if its owner quits. Thread-safe;
    // the items are shared, and turned into targets only when needed, on the reader's thread.
    void keepRecorded(quint64 generation, QList<MimeTypeMap::Item> items);
    // Nothing kept so far is put back any more. Thread-safe.
    void forgetKept();
    quint64 ownerGeneration() const { return m_ownerGeneration.load(); }

private:
    enum class FetchResult { ok, failed, ownerChanged, stopping };
    struct Atoms;
    struct Kept {
        quint64 generation = 0;
        QList<MimeTypeMap::Item> items;
    };
    struct Death {
        // The generation whose owner went away, and the server time it was reported at.
        quint64 generation = 0;
        quint32 time = 0;
    };

    void run();
    void wake();
    bool waitForEvents(std::chrono::steady_clock::time_point deadline);
    void dispatch(const XcbEvent& event);
    void handleSelectionNotify(const xcb_xfixes_selection_notify_event_t* event);
    bool isOwn(quint32 owner) const;
    void restoreIfKept();
    // The targets that put read items back, marked as our own.
    static X11SelectionServer::Targets restoreTargets(const QList<MimeTypeMap::Item>& items);
    void claimManager();
    void handOver();
    std::optional<quint32> serverTime();
    void saveTargets(const xcb_selection_request_event_t* request);
    void publish(quint64 generation, QList<MimeTypeMap::Item> items);
    MimeTypeMap::Read readContents();
    FetchResult fetch(quint32 target, QByteArray& data, qint64 budget);
    FetchResult readIncremental(quint32 property, QByteArray& data, qint64 budget,
                                std::chrono::steady_clock::time_point targetDeadline);
    bool readProperty(quint32 property, quint32& type, QByteArray& data, qint64 budget);
    quint32 nextProperty();
    bool stopping() const { return m_stop.load(); }

    Options m_options;
    std::function<void(Snapshot)> m_publish;
    OwnClient m_ownClient;
    xcb_connection_t* m_connection = nullptr;
    quint32 m_window = 0;
    quint32 m_root = 0;
    quint8 m_xfixesEvent = 0;
    std::unique_ptr<Atoms> m_atoms;
    int m_wakeFd = -1;
    QString m_error;
    std::unique_ptr<QThread> m_thread;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_observing{false};
    std::atomic<quint64> m_ownerGeneration{0};
    std::atomic<quint64> m_seenGeneration{0};
    QMutex m_recordedMutex;
    Kept m_recorded;
    std::atomic<bool> m_forgetSaved{false};
    // Reader thread only.
    std::unique_ptr<X11SelectionServer> m_clipboardServer;
    std::unique_ptr<X11SelectionServer> m_managerServer;
    std::deque<XcbEvent> m_deferred;
    Kept m_saved;
    std::optional<Death> m_death;
    quint64 m_readGeneration = 0;
    quint32 m_owner = 0;
    unsigned m_propertyIndex = 0;
};
