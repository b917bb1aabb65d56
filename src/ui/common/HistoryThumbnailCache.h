#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <list>
#include <optional>

// A downscaled image for a history row. The image stays a QImage so that it can be made off the GUI
// thread; views turn it into a pixmap when they paint.
struct HistoryThumbnail {
    QImage image;
    // The source's size, as it is shown (after orientation), not the thumbnail's.
    QSize pixelSize;
};

// Thumbnails of image entries by fingerprint. Decoding runs on one worker thread of its own, one image
// at a time, so a burst of rows never holds more than one full-size bitmap in memory.
class HistoryThumbnailCache : public QObject {
    Q_OBJECT

public:
    using Decoder = std::function<std::optional<HistoryThumbnail>(const QByteArray&)>;
    using Completion = std::function<void(std::optional<HistoryThumbnail>)>;

    static constexpr int maxPixelSize = 960;
    static constexpr int countLimit = 48;
    static constexpr qint64 costLimit = 32 * 1024 * 1024;

    // decoder replaces decode(), for tests.
    explicit HistoryThumbnailCache(Decoder decoder = &HistoryThumbnailCache::decode,
                                   QObject* parent = nullptr);
    ~HistoryThumbnailCache() override;

    // The application's instance, made on first use on the GUI thread and owned by the application.
    static HistoryThumbnailCache& shared();

    // Calls done on this cache's thread with the thumbnail of data, kept under key. A cached
    // thumbnail is delivered before request returns; otherwise the result arrives later and only while
    // context exists, so a view that has moved on deletes its context to drop the result. Requests for
    // a key already being decoded wait for that decode. context must live on this cache's thread.
    void request(const QString& key, const QByteArray& data, QObject* context, Completion done);

    // Downscaled so the long side is at most maxPixelSize, orientation applied; nothing for data that
    // is not an image Qt can read. Never on the GUI thread for real data.
    static std::optional<HistoryThumbnail> decode(const QByteArray& data);

    // The cost the cache charges for a thumbnail.
    static qint64 cost(const HistoryThumbnail& thumbnail);

private:
    struct Waiter {
        QPointer<QObject> context;
        Completion done;
    };
    struct Stored {
        QString key;
        HistoryThumbnail thumbnail;
        qint64 cost = 0;
    };

    void decodeOnWorker(const QString& key, const QByteArray& data);
    void deliver(QList<Waiter> waiters, const std::optional<HistoryThumbnail>& thumbnail);
    // With m_mutex held.
    std::optional<HistoryThumbnail> lookup(const QString& key);
    void store(const QString& key, const HistoryThumbnail& thumbnail);

    Decoder m_decoder;
    QMutex m_mutex;
    // Most recently used first.
    std::list<Stored> m_recent;
    QHash<QString, std::list<Stored>::iterator> m_stored;
    qint64 m_totalCost = 0;
    QHash<QString, QList<Waiter>> m_pending;
    QThreadPool m_worker;
};
