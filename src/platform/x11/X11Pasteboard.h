#pragma once

#include "platform/Pasteboard.h"
#include "platform/PasteboardContents.h"
#include "platform/x11/X11ClipboardReader.h"

#include <QObject>
#include <memory>

// The CLIPBOARD selection as a pasteboard. The GUI thread only ever sees complete snapshots
// published by the reader thread; reading them never waits on another client.
class X11Pasteboard final : public QObject, public Pasteboard {
    Q_OBJECT

public:
    explicit X11Pasteboard(const QByteArray& displayName, X11ClipboardReader::Options options = {},
                           QObject* parent = nullptr);
    ~X11Pasteboard() override;

    bool isValid() const { return m_reader->isValid(); }
    QString errorString() const { return m_reader->errorString(); }

    qint64 changeCount() const override { return m_contents.changeCount(); }
    QList<QStringList> itemTypes() const override { return m_contents.itemTypes(); }
    std::optional<QByteArray> data(qsizetype item, const QString& type) const override
    {
        return m_contents.data(item, type);
    }
    std::optional<QString> string(const QString& type) const override { return m_contents.string(type); }
    bool write(const QList<PasteboardItemSnapshot>& items) override;
    bool writeSelection(const QList<PasteboardItemSnapshot>& items) override;
    void setObserving(bool observing) override;
    void markCurrentContentsSeen() override;
    void noteRecorded(qint64 changeCount) override;
    void forgetRecorded() override { m_reader->forgetKept(); }
    void setChangeHandler(std::function<void()> handler) override { m_changeHandler = std::move(handler); }

Q_SIGNALS:
    // A read finished; the change count moved unless the contents had been marked seen.
    void published();

private:
    void apply(X11ClipboardReader::Snapshot snapshot);

    std::unique_ptr<X11ClipboardReader> m_reader;
    PasteboardContents m_contents;
    std::function<void()> m_changeHandler;
};
