#pragma once

#include "models/PasteboardItemSnapshot.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The system's general clipboard as the capture and write-back code sees it. Types are the
// identifiers of PasteboardType; every backend maps its own formats onto them.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Moves on every change of contents by any client.
    virtual qint64 changeCount() const = 0;
    // The types of each item, in pasteboard order; empty when the pasteboard holds nothing.
    virtual QList<QStringList> itemTypes() const = 0;
    // The item's data for a type; absent when the owner cannot provide it.
    virtual std::optional<QByteArray> data(qsizetype item, const QString& type) const = 0;
    // The first item's data for the type as text.
    virtual std::optional<QString> string(const QString& type) const = 0;

    // Replaces the contents with these items in one go; false when the system refused. The change
    // count has moved past the write when this returns, whatever the outcome.
    virtual bool write(const QList<PasteboardItemSnapshot>& items) = 0;
    // The same onto the selection that X terminals paste with Shift+Insert (PRIMARY on X11); false
    // where there is none or the system refused. Never watched or recorded.
    virtual bool writeSelection(const QList<PasteboardItemSnapshot>& items)
    {
        Q_UNUSED(items);
        return false;
    }

    // Backends that fetch contents ahead of time only do so while someone observes.
    virtual void setObserving(bool observing) { Q_UNUSED(observing); }
    // Backends that learn of a change as it happens call the handler, so that a copy is picked up
    // at once instead of at the next poll.
    virtual void setChangeHandler(std::function<void()> handler) { Q_UNUSED(handler); }
    // Makes the current contents, including a read still in flight, count as already seen.
    virtual void markCurrentContentsSeen() {}
    // The contents of this change count went into the history. Backends whose clipboard dies with the
    // application that copied (X11) keep serving exactly these contents then, and nothing else.
    virtual void noteRecorded(qint64 changeCount) { Q_UNUSED(changeCount); }
    // The recorded contents left the history: they are no longer kept.
    virtual void forgetRecorded() {}
};
