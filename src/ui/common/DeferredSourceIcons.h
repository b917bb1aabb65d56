#pragma once

#include "ui/common/SourceApplicationIconCache.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QObject>
#include <optional>

// Source-application icons for a list, looked up after the paint that first asked for them, so that a
// screenful of new applications never holds a paint up on the icon theme.
class DeferredSourceIcons final : public QObject {
    Q_OBJECT

public:
    // cache: the shared one when absent.
    explicit DeferredSourceIcons(SourceApplicationIconCache* cache = nullptr, QObject* parent = nullptr);

    // The icon once looked up; until then nothing, and the lookup is on its way.
    std::optional<QIcon> icon(const SourceApplicationIdentity& identity);
    // The icon if it is already known, without asking for it.
    std::optional<QIcon> known(const SourceApplicationIdentity& identity) const;

Q_SIGNALS:
    // After a lookup: the identities that have an icon now.
    void found(const QList<SourceApplicationIdentity>& identities);

private:
    SourceApplicationIconCache* cache() const;
    void lookUp();

    SourceApplicationIconCache* m_cache;
    QHash<SourceApplicationIdentity, std::optional<QIcon>> m_icons;
    QList<SourceApplicationIdentity> m_pending;
};
