#pragma once

#include "platform/Pasteboard.h"
#include "platform/PasteboardContents.h"
#include "platform/wayland/DataControlClipboard.h"

#include <QObject>
#include <memory>

// A Wayland seat's clipboard as a pasteboard. The GUI thread only ever sees complete snapshots
// published by the clipboard thread; reading them never waits on another client.
class WaylandPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT

public:
    // Connects to the compositor of waylandDisplay.
    explicit WaylandPasteboard(const QByteArray& waylandDisplay, DataControlClipboard::Options options = {},
                               QObject* parent = nullptr);
    // Over a channel of the caller's, on the clipboard thread from now on.
    WaylandPasteboard(std::unique_ptr<DataControlChannel> channel, DataControlClipboard::Options options,
                      QObject* parent = nullptr);
    ~WaylandPasteboard() override;

    bool isValid() const { return m_clipboard != nullptr; }
    QString errorString() const { return m_error; }

    qint64 changeCount() const override { return m_contents.changeCount(); }
    QList<QStringList> itemTypes() const override { return m_contents.itemTypes(); }
    std::optional<QByteArray> data(qsizetype item, const QString& type) const override
    {
        return m_contents.data(item, type);
    }
    std::optional<QString> string(const QString& type) const override { return m_contents.string(type); }
    bool write(const QList<PasteboardItemSnapshot>& items) override;
    void setObserving(bool observing) override;
    void markCurrentContentsSeen() override;
    void noteRecorded(qint64 changeCount) override;
    void forgetRecorded() override;
    void setChangeHandler(std::function<void()> handler) override { m_changeHandler = std::move(handler); }

Q_SIGNALS:
    // A read finished; the change count moved unless the contents had been marked seen.
    void published();

private:
    void start(std::unique_ptr<DataControlChannel> channel, DataControlClipboard::Options options);
    void apply(DataControlClipboard::Snapshot snapshot);

    std::unique_ptr<DataControlClipboard> m_clipboard;
    QString m_error;
    PasteboardContents m_contents;
    std::function<void()> m_changeHandler;
};
