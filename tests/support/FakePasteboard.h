#pragma once

#include "platform/Pasteboard.h"

#include <QHash>
#include <QList>
#include <functional>

// An in-memory pasteboard whose contents and failures tests set directly.
class FakePasteboard final : public Pasteboard {
public:
    struct Item {
        QStringList types;
        // Types listed without data here cannot be provided by the owner.
        QHash<QString, QByteArray> data;
    };

    // Replaces the contents as another client's copy would, moving the change count.
    void setItems(QList<Item> items);
    void setText(const QString& text);
    void clear();

    // Called on every data read; lets a test change the pasteboard in the middle of a read.
    std::function<void(qsizetype item, const QString& type)> onDataRead;
    // Called on every string read, before the string is taken.
    std::function<void(const QString& type)> onStringRead;

    int dataReads() const { return m_dataReads; }
    bool observing() const { return m_observing; }
    int markSeenCalls() const { return m_markSeenCalls; }

    qint64 changeCount() const override { return m_changeCount; }
    QList<QStringList> itemTypes() const override;
    std::optional<QByteArray> data(qsizetype item, const QString& type) const override;
    std::optional<QString> string(const QString& type) const override;
    void setObserving(bool observing) override { m_observing = observing; }
    void markCurrentContentsSeen() override { ++m_markSeenCalls; }
    bool write(const QList<PasteboardItemSnapshot>& items) override;
    void setChangeHandler(std::function<void()> handler) override { changeHandler = std::move(handler); }

    // A refused write still clears the pasteboard and moves the change count.
    bool refuseWrites = false;
    QList<QList<PasteboardItemSnapshot>> writes;

    // What the monitor installed to hear of changes as they happen.
    std::function<void()> changeHandler;

private:
    QList<Item> m_items;
    qint64 m_changeCount = 1;
    mutable int m_dataReads = 0;
    bool m_observing = false;
    int m_markSeenCalls = 0;
};
