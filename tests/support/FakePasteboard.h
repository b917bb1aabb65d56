#pragma once

#include "models/PasteboardType.h"
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
    void setItems(QList<Item> items)
    {
        m_items = std::move(items);
        ++m_changeCount;
    }
    void setText(const QString& text)
    {
        setItems({{{PasteboardType::plainText}, {{PasteboardType::plainText, text.toUtf8()}}}});
    }
    void clear() { setItems({}); }

    // Called on every data read; lets a test change the pasteboard in the middle of a read.
    std::function<void(qsizetype item, const QString& type)> onDataRead;
    // Called on every string read, before the string is taken.
    std::function<void(const QString& type)> onStringRead;
    // A refused write still clears the pasteboard and moves the change count.
    bool refuseWrites = false;
    QList<QList<PasteboardItemSnapshot>> writes;
    QList<QList<PasteboardItemSnapshot>> selectionWrites;
    // The change counts the monitor reported as recorded.
    QList<qint64> recorded;
    // What the monitor installed to hear of changes as they happen.
    std::function<void()> changeHandler;

    int dataReads() const { return m_dataReads; }
    bool observing() const { return m_observing; }
    int markSeenCalls() const { return m_markSeenCalls; }

    void noteRecorded(qint64 changeCount) override { recorded.append(changeCount); }
    void forgetRecorded() override { recorded.append(-1); }
    qint64 changeCount() const override { return m_changeCount; }
    QList<QStringList> itemTypes() const override
    {
        QList<QStringList> types;
        for (const Item& item : m_items)
            types.append(item.types);
        return types;
    }
    std::optional<QByteArray> data(qsizetype item, const QString& type) const override
    {
        ++m_dataReads;
        if (onDataRead)
            onDataRead(item, type);
        return find(item, type);
    }
    std::optional<QString> string(const QString& type) const override
    {
        if (onStringRead)
            onStringRead(type);
        const std::optional<QByteArray> bytes = find(0, type);
        return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
    }
    void setObserving(bool observing) override { m_observing = observing; }
    void markCurrentContentsSeen() override { ++m_markSeenCalls; }
    bool writeSelection(const QList<PasteboardItemSnapshot>& items) override
    {
        selectionWrites.append(items);
        return !refuseWrites;
    }
    bool write(const QList<PasteboardItemSnapshot>& items) override
    {
        writes.append(items);
        QList<Item> written;
        for (const PasteboardItemSnapshot& snapshot : items) {
            written.append(Item{});
            for (const auto& [type, data] : snapshot.representations) {
                written.last().types.append(type);
                if (!written.last().data.contains(type))
                    written.last().data.insert(type, data);
            }
        }
        setItems(refuseWrites ? QList<Item>() : written);
        return !refuseWrites;
    }
    void setChangeHandler(std::function<void()> handler) override { changeHandler = std::move(handler); }

private:
    std::optional<QByteArray> find(qsizetype item, const QString& type) const
    {
        if (item < 0 || item >= m_items.size() || !m_items[item].data.contains(type))
            return std::nullopt;
        return m_items[item].data.value(type);
    }

    QList<Item> m_items;
    qint64 m_changeCount = 1;
    mutable int m_dataReads = 0;
    bool m_observing = false;
    int m_markSeenCalls = 0;
};
