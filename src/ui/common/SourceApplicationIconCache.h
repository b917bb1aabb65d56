#pragma once

#include <QCache>
#include <QIcon>
#include <QString>
#include <optional>

class Workspace;
struct ClipboardEntry;

// The application an entry was copied from, as the entry recorded it.
struct SourceApplicationIdentity {
    std::optional<QString> bundleIdentifier;
    QString name;

    static SourceApplicationIdentity of(const ClipboardEntry& entry);

    friend bool operator==(const SourceApplicationIdentity&, const SourceApplicationIdentity&) = default;
};

size_t qHash(const SourceApplicationIdentity& identity, size_t seed = 0) noexcept;

// Finds the application behind an entry and keeps its icon. GUI thread only.
class SourceApplicationIconCache {
public:
    static constexpr int countLimit = 128;

    // The workspace is borrowed and must outlive the cache.
    explicit SourceApplicationIconCache(const Workspace& workspace);

    // The instance views use; absent until the application installs one.
    static SourceApplicationIconCache* shared();
    static void setShared(SourceApplicationIconCache* cache);

    // Nothing when the application cannot be told for certain or has no icon.
    std::optional<QIcon> icon(const SourceApplicationIdentity& identity);
    // The identifier first; names only when it does not resolve, and only when exactly one
    // application answers to the name.
    std::optional<QString> applicationURL(const SourceApplicationIdentity& identity) const;

private:
    const Workspace& m_workspace;
    // Null icons are kept too, so an application without one is not looked up again.
    QCache<QString, QIcon> m_icons{countLimit};
};
