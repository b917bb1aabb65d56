#include "ui/common/HistoryThumbnailCache.h"

#include "ui/common/ImageDecoding.h"

#include <QCoreApplication>

HistoryThumbnailCache::HistoryThumbnailCache(Decoder decoder, QObject* parent)
    : QObject(parent), m_decoder(std::move(decoder))
{
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
}

HistoryThumbnailCache::~HistoryThumbnailCache()
{
    m_worker.clear();
    m_worker.waitForDone();
}

HistoryThumbnailCache& HistoryThumbnailCache::shared()
{
    static QPointer<HistoryThumbnailCache> instance;
    if (!instance)
        instance = new HistoryThumbnailCache(&HistoryThumbnailCache::decode, QCoreApplication::instance());
    return *instance;
}

void HistoryThumbnailCache::request(const QString& key, const QByteArray& data, QObject* context,
                                    Completion done)
{
    Q_ASSERT(context && context->thread() == thread());
    QMutexLocker lock(&m_mutex);
    if (std::optional<HistoryThumbnail> cached = lookup(key)) {
        lock.unlock();
        done(std::move(cached));
        return;
    }
    QList<Waiter>& waiters = m_pending[key];
    const bool decoding = !waiters.isEmpty();
    waiters.append({context, std::move(done)});
    lock.unlock();
    if (!decoding)
        m_worker.start([this, key, data] { decodeOnWorker(key, data); });
}

void HistoryThumbnailCache::decodeOnWorker(const QString& key, const QByteArray& data)
{
    {
        // Rows scrolled away before their turn cost nothing.
        QMutexLocker lock(&m_mutex);
        QList<Waiter>& waiters = m_pending[key];
        waiters.removeIf([](const Waiter& waiter) { return waiter.context.isNull(); });
        if (waiters.isEmpty()) {
            m_pending.remove(key);
            return;
        }
    }
    const std::optional<HistoryThumbnail> thumbnail = m_decoder(data);
    QList<Waiter> waiters;
    {
        QMutexLocker lock(&m_mutex);
        if (thumbnail)
            store(key, *thumbnail);
        waiters = m_pending.take(key);
    }
    QMetaObject::invokeMethod(
        this,
        [this, waiters = std::move(waiters), thumbnail]() mutable { deliver(std::move(waiters), thumbnail); },
        Qt::QueuedConnection);
}

void HistoryThumbnailCache::deliver(QList<Waiter> waiters, const std::optional<HistoryThumbnail>& thumbnail)
{
    for (Waiter& waiter : waiters) {
        if (waiter.context)
            waiter.done(thumbnail);
    }
}

std::optional<HistoryThumbnail> HistoryThumbnailCache::lookup(const QString& key)
{
    const auto found = m_stored.constFind(key);
    if (found == m_stored.cend())
        return std::nullopt;
    m_recent.splice(m_recent.begin(), m_recent, *found);
    return (*found)->thumbnail;
}

void HistoryThumbnailCache::store(const QString& key, const HistoryThumbnail& thumbnail)
{
    const qint64 itemCost = cost(thumbnail);
    if (itemCost > costLimit)
        return;
    if (const auto found = m_stored.constFind(key); found != m_stored.cend()) {
        m_totalCost -= (*found)->cost;
        m_recent.erase(*found);
        m_stored.erase(found);
    }
    m_recent.push_front({key, thumbnail, itemCost});
    m_stored.insert(key, m_recent.begin());
    m_totalCost += itemCost;
    while (std::ssize(m_recent) > countLimit || m_totalCost > costLimit) {
        m_totalCost -= m_recent.back().cost;
        m_stored.remove(m_recent.back().key);
        m_recent.pop_back();
    }
}

std::optional<HistoryThumbnail> HistoryThumbnailCache::decode(const QByteArray& data)
{
    std::optional<DecodedImage> decoded = ImageDecoding::decode(data, maxPixelSize);
    if (!decoded)
        return std::nullopt;
    return HistoryThumbnail{std::move(decoded->image), decoded->pixelSize};
}

qint64 HistoryThumbnailCache::cost(const HistoryThumbnail& thumbnail)
{
    return qint64(thumbnail.image.bytesPerLine()) * thumbnail.image.height();
}
