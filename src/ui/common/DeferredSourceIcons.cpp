#include "ui/common/DeferredSourceIcons.h"

#include <QMetaObject>

DeferredSourceIcons::DeferredSourceIcons(SourceApplicationIconCache* cache, QObject* parent)
    : QObject(parent), m_cache(cache)
{
}

SourceApplicationIconCache* DeferredSourceIcons::cache() const
{
    return m_cache ? m_cache : SourceApplicationIconCache::shared();
}

std::optional<QIcon> DeferredSourceIcons::icon(const SourceApplicationIdentity& identity)
{
    if (!cache())
        return std::nullopt;
    if (const auto found = m_icons.constFind(identity); found != m_icons.cend())
        return *found;
    if (!m_pending.contains(identity)) {
        if (m_pending.isEmpty())
            QMetaObject::invokeMethod(this, &DeferredSourceIcons::lookUp, Qt::QueuedConnection);
        m_pending.append(identity);
    }
    return std::nullopt;
}

std::optional<QIcon> DeferredSourceIcons::known(const SourceApplicationIdentity& identity) const
{
    return m_icons.value(identity);
}

void DeferredSourceIcons::lookUp()
{
    SourceApplicationIconCache* iconCache = cache();
    const QList<SourceApplicationIdentity> pending = std::exchange(m_pending, {});
    if (!iconCache)
        return;
    QList<SourceApplicationIdentity> withIcon;
    for (const SourceApplicationIdentity& identity : pending) {
        std::optional<QIcon> icon = iconCache->icon(identity);
        if (icon && icon->isNull())
            icon.reset();
        m_icons.insert(identity, icon);
        if (icon)
            withIcon.append(identity);
    }
    Q_EMIT found(withIcon);
}
