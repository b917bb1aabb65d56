#pragma once

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

// A seat's clipboard as a privileged Wayland client sees it: the offers of other clients and sources
// of our own. Used from one thread only; the clipboard thread polls fd() and calls dispatch().
class DataControlChannel {
public:
    struct Events {
        // The clipboard holds a new offer with these types, or nothing at all.
        std::function<void(std::optional<QList<QByteArray>> mimeTypes)> selection;
        // A client reads one type of a source of ours; fd is the receiver's to close.
        std::function<void(quint64 source, const QByteArray& mimeType, int fd)> send;
        // A source of ours no longer is the selection.
        std::function<void(quint64 source)> cancelled;
    };

    virtual ~DataControlChannel() = default;

    virtual void setEvents(Events events) = 0;
    // Readable when events wait.
    virtual int fd() const = 0;
    // Reads and handles whatever arrived, without waiting; false once the connection is lost.
    virtual bool dispatch() = 0;
    // Asks the owner of the current offer to write one type into fd, which stays the caller's.
    virtual bool receive(const QByteArray& mimeType, int fd) = 0;
    // Makes a new source of ours offering these types the selection; its id, or 0 when that failed.
    virtual quint64 offer(const QList<QByteArray>& mimeTypes) = 0;
    // Forgets a source of ours.
    virtual void drop(quint64 source) = 0;
};
